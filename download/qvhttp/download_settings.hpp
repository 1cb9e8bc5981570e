#pragma once

#include "qvhttp/http_options.hpp"
#include "qvhttp/storage_interface.hpp"

#include <string>

namespace qvhttp {

struct download_settings {
  int download_rate_limit = -1; // bytes per second for the whole download; -1 unlimited
  int connections_limit = 5;    // -1 means 5
  int piece_size = -1;          // -1: chosen from the file size
  int time_out = 11;            // seconds without progress after which a connection is replaced
  int request_piece_num = 10;   // pieces per range request
  std::wstring meta_file;       // empty: the data file's name + ".cfg"
  bool allow_use_meta_url = true;
  bool disable_multi_download = false;
  std::wstring save_path;
  bool check_certificate = true;
  storage_constructor_type storage_constructor = nullptr; // null: default_storge
  request_opts opts;            // extra header fields for every request
  proxy_settings proxy;
};

} // namespace qvhttp
