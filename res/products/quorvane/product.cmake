# Build data of the Quorvane web installer. The *_default values seed the product's cache variables
# (QV_QUORVANE_API_ORIGIN, ...); res/README.md lists them.
set(product_name "Quorvane")
set(product_company "Quorvane")
set(product_description "Quorvane Web Installer")
set(product_version "1.0.0.1")
set(product_copyright "Copyright (C) Quorvane")
set(api_origin_default "https://api.quorvane.com")
set(ga_host_default "www.google-analytics.com")
set(ga_measurement_id_default "G-8TXM3WQ6LJ")
set(ga_api_secret_default "Xr4pLm9QaZ2vBn7YcK1dWe")
