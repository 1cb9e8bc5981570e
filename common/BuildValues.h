// Values that differ between product builds. Each product's generated source defines them (target
// qv_values_<product>, attached by qv_product_resources(); res/README.md).
#pragma once

// Scheme and host of the product-data API, without a trailing "/", e.g. https://api.quorvane.com.
extern const wchar_t kBuild_ApiOrigin[];
// Host that receives the analytics reports (the Measurement Protocol's collection host).
extern const wchar_t kBuild_GaHost[];
extern const wchar_t kBuild_GaMeasurementId[];
extern const wchar_t kBuild_GaApiSecret[];
