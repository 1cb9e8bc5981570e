# Build data of the demo installer: the Quorvane product served by the local vendor site on 127.0.0.1
# (README.md beside this file). Its own FileDescription keeps it from sharing a mutex with a real build.
set(product_name "Quorvane")
set(product_company "Quorvane")
set(product_description "Quorvane Web Installer (demo)")
set(product_version "1.0.0.1")
set(product_copyright "Copyright (C) Quorvane")
set(api_origin_default "https://127.0.0.1")
set(ga_host_default "127.0.0.1")
set(ga_measurement_id_default "G-8TXM3WQ6LJ")
set(ga_api_secret_default "Xr4pLm9QaZ2vBn7YcK1dWe")
