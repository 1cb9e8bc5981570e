#include "qvhttp/multi_download.hpp"

#include "qvhttp/bencode.hpp"
#include "qvhttp/default_storge.hpp"
#include "qvhttp/error_codes.hpp"
#include "qvhttp/meta.hpp"

#include <boost/asio/post.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace qvhttp {

namespace {

constexpr std::size_t read_size = 2048;

void append_utf8(std::string& out, std::uint32_t c)
{
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The narrow URL in the current code page becomes UTF-8 with every byte a server may refuse escaped.
std::string prepare_url(const std::string& text)
{
  std::string utf8;
  std::vector<wchar_t> wide(text.size() + 1);
  const std::size_t length = std::mbstowcs(wide.data(), text.c_str(), wide.size());
  if (length == static_cast<std::size_t>(-1)) {
    utf8 = text; // not text of this code page: escape its bytes as they are
  } else {
    for (std::size_t i = 0; i < length; ++i) {
      std::uint32_t c = static_cast<std::uint32_t>(wide[i]);
      if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
        const std::uint32_t low = static_cast<std::uint32_t>(wide[i + 1]);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
      append_utf8(utf8, c);
    }
  }
  static const char hex[] = "0123456789abcdef";
  std::string escaped;
  for (const char ch : utf8) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 0x80 || b == ' ' || b == '^' || b == '`' || b == '{' || b == '|' || b == '}') {
      escaped += '%';
      escaped += hex[b >> 4];
      escaped += hex[b & 0x0F];
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

bool iequals(const std::string& a, const char* b)
{
  const std::size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Header names are case-insensitive whatever the server sends.
std::string header(const response_opts& response, const char* name)
{
  for (const auto& [key, value] : response.items())
    if (iequals(key, name)) return value;
  return {};
}

bool to_int64(const std::string& text, std::int64_t& value)
{
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin != end && *begin == ' ') ++begin;
  while (end != begin && end[-1] == ' ') --end;
  const auto [last, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && last == end && begin != end;
}

// The first byte of "bytes B-E/T"; false when the field does not have that form.
bool content_range_begin(const std::string& field, std::int64_t& begin)
{
  const std::string prefix = "bytes ";
  if (field.compare(0, prefix.size(), prefix) != 0) return false;
  const std::size_t dash = field.find('-', prefix.size());
  if (dash == std::string::npos) return false;
  return to_int64(field.substr(prefix.size(), dash - prefix.size()), begin);
}

bool gives_up(const boost::system::error_code& ec)
{
  return ec.category() == error_category() &&
         (ec.value() == errc::forbidden || ec.value() == errc::not_found || ec.value() == errc::method_not_allowed);
}

} // namespace

multi_download::multi_download(boost::asio::io_context& io) : io_(io), timer_(io) {}

multi_download::~multi_download() = default;

int multi_download::default_piece_size(std::int64_t size)
{
  std::int64_t piece = 16384;
  const std::int64_t limit = size / 2048;
  while (piece < limit && piece < 16777216) piece *= 2;
  return static_cast<int>(piece);
}

std::int64_t multi_download::bytes_downloaded() const
{
  if (file_size_ >= 0) return downloaded_.byte_count();
  std::lock_guard<std::mutex> lock(list_mutex_);
  std::int64_t total = 0;
  for (const object_ptr& object : list_) total += object->bytes_total;
  return total;
}

std::wstring multi_download::file_name()
{
  if (file_name_.empty() && !settings_.save_path.empty()) file_name_ = settings_.save_path;
  return file_name_;
}

void multi_download::start(const std::string& u, const download_settings& settings)
{
  boost::system::error_code ec;
  start(u, settings, ec);
  if (ec) throw boost::system::system_error(ec);
}

void multi_download::start(const std::string& u, const download_settings& settings, boost::system::error_code& ec)
{
  try {
    start_unguarded(u, settings, ec);
  } catch (const boost::system::system_error& error) {
    ec = error.code(); // a meta file key of the wrong type
  }
}

multi_download::object_ptr multi_download::make_object()
{
  auto object = std::make_shared<http_stream_object>();
  object->stream = std::make_shared<http_stream>(io_);
  return object;
}

void multi_download::prepare_stream(const object_ptr& object, const request_opts& options)
{
  object->stream->proxy(settings_.proxy);
  object->stream->request_options(options);
  object->stream->check_certificate(settings_.check_certificate);
  object->stream->max_redirects(0); // range requests never follow redirects
  object->last_request_time = std::chrono::steady_clock::now();
}

request_opts multi_download::range_options(std::int64_t begin, std::int64_t end) const
{
  request_opts options = base_options_;
  if (keep_alive_) options.insert(http_options::connection, "keep-alive");
  options.insert(http_options::range, "bytes=" + std::to_string(begin) + "-" + std::to_string(end));
  return options;
}

void multi_download::open_first(const object_ptr& first, boost::system::error_code& ec)
{
  // The first answer is awaited here, but never longer than time_out: a server that accepts and
  // stays silent must not hold the caller forever.
  struct wait_state {
    explicit wait_state(boost::asio::io_context& io) : deadline(io) {}
    boost::asio::steady_timer deadline;
    bool done = false;
    bool timed_out = false;
    boost::system::error_code result;
  };
  auto state = std::make_shared<wait_state>(io_);
  state->deadline.expires_after(std::chrono::seconds(std::max(1, settings_.time_out)));
  state->deadline.async_wait([state, first](const boost::system::error_code& e) {
    if (e || state->done) return;
    state->timed_out = true;
    boost::system::error_code ignored;
    first->stream->close(ignored);
  });
  {
    std::lock_guard<std::mutex> lock(list_mutex_);
    opening_ = first;
  }
  first->stream->async_open(final_url_, [state](const boost::system::error_code& e) {
    state->done = true;
    state->result = e;
    state->deadline.cancel();
  });
  if (io_.stopped()) io_.restart();
  while (!state->done && io_.run_one() != 0) {
  }
  {
    std::lock_guard<std::mutex> lock(list_mutex_);
    opening_.reset();
  }
  if (!state->done)
    ec = boost::asio::error::operation_aborted;
  else if (state->timed_out)
    ec = boost::asio::error::timed_out;
  else
    ec = state->result;
}

void multi_download::start_unguarded(const std::string& u, const download_settings& settings,
                                     boost::system::error_code& ec)
{
  {
    std::lock_guard<std::mutex> lock(list_mutex_);
    list_.clear();
  }
  file_size_ = -1;
  settings_ = settings;
  accept_multi_ = false;
  keep_alive_ = false;
  final_url_ = url::from_string(prepare_url(u), ec);
  if (ec) return;
  file_name_.clear();

  const object_ptr first = make_object();
  request_opts first_options = settings_.opts;
  first_options.insert(http_options::range, "bytes=0-");
  first_options.insert(http_options::connection, "keep-alive");
  first->stream->proxy(settings_.proxy);
  first->stream->request_options(first_options);
  first->stream->check_certificate(settings_.check_certificate);
  open_first(first, ec);
  if (ec) return;

  if (!first->stream->final_location().empty()) {
    boost::system::error_code parse_error;
    url location = url::from_string(first->stream->final_location(), parse_error);
    if (!parse_error) final_url_ = location;
  }

  const response_opts& response = first->stream->response_options();
  accept_multi_ = response.find(http_options::status_code) == "206" && !settings_.disable_multi_download;
  if (response.find(http_options::status_code) == "206") {
    // Bytes from elsewhere than 0 would be written at offset 0.
    std::int64_t begin = -1;
    if (!content_range_begin(header(response, http_options::content_range), begin) || begin != 0) {
      ec = make_error_code(boost::system::errc::protocol_error);
      return;
    }
  }

  std::string length = header(response, http_options::content_length);
  if (length.empty()) {
    const std::string range = header(response, http_options::content_range);
    const std::size_t slash = range.find('/');
    if (slash != std::string::npos) length = range.substr(slash + 1);
  }
  std::int64_t size = -1;
  if (length.empty() || !to_int64(length, size) || size < 0) {
    accept_multi_ = false;
  } else if (size != file_size_) {
    file_size_ = size;
    requested_.resize(size);
    downloaded_.resize(size);
  }

  if (accept_multi_) {
    keep_alive_ = iequals(header(response, http_options::connection), "keep-alive");
    if (settings_.meta_file.empty()) settings_.meta_file = file_name() + L".cfg";
    if (!open_meta(settings_.meta_file)) {
      meta_.close();
      std::error_code ignored;
      std::filesystem::remove(settings_.meta_file, ignored);
    }
    if (downloaded_.is_full()) {
      meta_.close();
      return;
    }
  }

  storage_.reset(settings_.storage_constructor ? settings_.storage_constructor() : new default_storge());
  storage_->open(file_name(), ec);
  if (ec) {
    close_files();
    return;
  }

  rate_budget_ = settings_.download_rate_limit;
  if (settings_.connections_limit == -1) settings_.connections_limit = 5;
  if (settings_.piece_size <= 0 && file_size_ >= 0) settings_.piece_size = default_piece_size(file_size_);
  settings_.request_piece_num = std::max(1, settings_.request_piece_num);

  base_options_ = settings_.opts;
  base_options_.insert(http_options::connection, keep_alive_ ? "keep-alive" : "close");
  abort_ = false;
  {
    std::lock_guard<std::mutex> lock(list_mutex_);
    list_.push_back(first);
  }

  if (accept_multi_) {
    byte_range range;
    if (!allocate_range(range)) {
      first->done = true;
    } else {
      first->range_begin = range.begin;
      first->range_end = range.end;
      prepare_stream(first, range_options(range.begin, range.end));
      if (range.begin != 0) {
        // A resumed download: the open-ended first answer starts at the wrong place.
        boost::system::error_code ignored;
        first->stream->close(ignored);
        first->stream->async_open(final_url_, [self = shared_from_this(), first](const boost::system::error_code& e) {
          self->handle_open(0, first, e);
        });
      } else {
        start_read(0, first);
      }
    }
    for (int i = 1; i < settings_.connections_limit; ++i) {
      if (!allocate_range(range)) break;
      const object_ptr object = make_object();
      object->range_begin = range.begin;
      object->range_end = range.end;
      prepare_stream(object, range_options(range.begin, range.end));
      std::size_t index;
      {
        std::lock_guard<std::mutex> lock(list_mutex_);
        index = list_.size();
        list_.push_back(object);
      }
      object->stream->async_open(final_url_, [self = shared_from_this(), index, object](const boost::system::error_code& e) {
        self->handle_open(index, object, e);
      });
    }
  } else {
    first->last_request_time = std::chrono::steady_clock::now();
    start_read(0, first);
  }
  arm_timer();
}

void multi_download::stop()
{
  abort_ = true;
  // The timer and the streams belong to the handler thread; they are closed there.
  boost::asio::post(io_, [self = shared_from_this()] {
    self->abort_ = true;
    self->timer_.cancel();
    std::lock_guard<std::mutex> lock(self->list_mutex_);
    boost::system::error_code ignored;
    for (const object_ptr& object : self->list_) object->stream->close(ignored);
    if (self->opening_) self->opening_->stream->close(ignored);
  });
}

bool multi_download::allocate_range(byte_range& range)
{
  std::lock_guard<std::mutex> lock(allocation_mutex_);
  const std::int64_t most = static_cast<std::int64_t>(settings_.request_piece_num) * settings_.piece_size;
  for (;;) {
    byte_range gap;
    if (!requested_.free_gap(0, gap)) return false;
    if (gap.end - gap.begin >= most) gap.end = gap.begin + most;
    if (requested_.update(gap.begin, gap.end)) {
      range = {gap.begin, gap.end - 1};
      return range.end >= range.begin;
    }
    if (abort_) return false;
  }
}

bool multi_download::is_current(std::size_t index, const object_ptr& object) const
{
  // A replaced connection's late handlers must not touch the range its successor now owns.
  return index < list_.size() && list_[index] == object;
}

bool multi_download::range_answer_fits(const object_ptr& object) const
{
  const response_opts& response = object->stream->response_options();
  if (response.find(http_options::status_code) != "206") return false;
  std::int64_t begin = -1;
  return content_range_begin(header(response, http_options::content_range), begin) &&
         begin == object->range_begin + object->bytes_in_range;
}

void multi_download::connection_failed(const object_ptr& object, const boost::system::error_code& ec)
{
  if (ec) object->last_error = ec;
  if (!accept_multi_) {
    abort_ = true;
    timer_.cancel();
  }
  // With ranges the connection falls silent; the timer replaces it.
}

void multi_download::handle_open(std::size_t index, object_ptr object, const boost::system::error_code& ec)
{
  if (!is_current(index, object)) return;
  if (ec || abort_) {
    connection_failed(object, ec);
    return;
  }
  if (accept_multi_ && !range_answer_fits(object)) {
    // A server or proxy that ignored the Range field would have us write its bytes at the wrong offset.
    object->last_error = make_error_code(boost::system::errc::protocol_error);
    boost::system::error_code ignored;
    object->stream->close(ignored);
    return;
  }
  if (!accept_multi_ && object->stream->content_length() >= 0 && object->stream->content_length() != file_size_) {
    file_size_ = object->stream->content_length();
    requested_.resize(file_size_);
    downloaded_.resize(file_size_);
  }
  object->last_error.clear();
  object->last_request_time = std::chrono::steady_clock::now();
  start_read(index, object);
}

void multi_download::handle_request(std::size_t index, object_ptr object, const boost::system::error_code& ec)
{
  ++object->request_count;
  handle_open(index, std::move(object), ec);
}

void multi_download::start_read(std::size_t index, object_ptr object)
{
  std::size_t amount = read_size;
  if (rate_budget_ >= 0) {
    if (rate_budget_ == 0) {
      // Out of budget until the next tick refills it.
      if (!object->throttle) object->throttle = std::make_unique<boost::asio::steady_timer>(io_);
      object->throttle->expires_after(std::chrono::milliseconds(1));
      object->throttle->async_wait([self = shared_from_this(), index, object](const boost::system::error_code& e) {
        if (e || self->abort_ || !self->is_current(index, object)) return;
        object->last_request_time = std::chrono::steady_clock::now();
        self->start_read(index, object);
      });
      return;
    }
    amount = std::min<std::size_t>(amount, static_cast<std::size_t>(rate_budget_));
    rate_budget_ -= static_cast<int>(amount);
  }
  object->stream->async_read_some(boost::asio::buffer(object->buffer.data(), amount),
                                  [self = shared_from_this(), index, object](const boost::system::error_code& e,
                                                                              std::size_t bytes) {
                                    self->handle_read(index, object, e, bytes);
                                  });
}

void multi_download::handle_read(std::size_t index, object_ptr object, const boost::system::error_code& ec,
                                 std::size_t bytes)
{
  tick_bytes_ += static_cast<std::int64_t>(bytes);
  if (!is_current(index, object)) return;

  // Never past the end of the range asked for: the bytes beyond belong to another connection.
  std::int64_t usable = static_cast<std::int64_t>(bytes);
  if (accept_multi_)
    usable = std::clamp<std::int64_t>(object->range_end + 1 - (object->range_begin + object->bytes_in_range), 0, usable);

  if (storage_ && usable > 0 && (!ec || ec == boost::asio::error::eof)) {
    const std::int64_t offset = object->range_begin + object->bytes_in_range;
    if (storage_->write(object->buffer.data(), offset, static_cast<int>(usable)) != usable) {
      // Unwritten bytes must not count as downloaded, or the file is declared complete with holes.
      connection_failed(object, make_error_code(boost::system::errc::io_error));
      boost::system::error_code ignored;
      object->stream->close(ignored);
      return;
    }
    if (file_size_ >= 0) downloaded_.update(offset, offset + usable);
  }
  object->bytes_in_range += usable;
  object->bytes_total += usable;

  if (ec || abort_) {
    connection_failed(object, ec);
    return;
  }

  if (accept_multi_) {
    if (object->bytes_in_range >= object->range_end - object->range_begin + 1) {
      if (keep_alive_ && (object->range_begin != 0 || index != 0)) {
        byte_range range;
        if (!allocate_range(range)) {
          boost::system::error_code ignored;
          object->stream->close(ignored);
          object->done = true;
          finish_if_all_done();
          return;
        }
        object->range_begin = range.begin;
        object->range_end = range.end;
        object->bytes_in_range = 0;
        const request_opts options = range_options(range.begin, range.end);
        prepare_stream(object, options);
        object->stream->async_request(options, [self = shared_from_this(), index, object](const boost::system::error_code& e) {
          self->handle_request(index, object, e);
        });
        return;
      }
      // Connection 0 is still in its open-ended first answer, or the server closes after each answer:
      // the next range needs a new connection, and it gets one now rather than at the next tick.
      {
        std::lock_guard<std::mutex> lock(list_mutex_);
        replace_connection(index);
      }
      finish_if_all_done();
      return;
    }
  } else if (file_size_ >= 0 && object->bytes_total == file_size_) {
    abort_ = true;
    timer_.cancel();
    return;
  }

  object->last_request_time = std::chrono::steady_clock::now();
  start_read(index, object);
}

void multi_download::arm_timer()
{
  timer_.expires_after(std::chrono::seconds(1));
  timer_.async_wait([self = shared_from_this()](const boost::system::error_code& e) { self->on_tick(e); });
}

void multi_download::replace_connection(std::size_t index)
{
  const object_ptr object = list_[index];
  boost::system::error_code ignored;
  object->stream->close(ignored);
  if (gives_up(object->last_error) || !accept_multi_) {
    if (!accept_multi_) abort_ = true;
    object->done = true;
    return;
  }

  const object_ptr renewed = make_object();
  renewed->range_begin = object->range_begin;
  renewed->range_end = object->range_end;
  renewed->bytes_in_range = object->bytes_in_range;
  renewed->bytes_total = object->bytes_total.load();
  renewed->request_count = object->request_count;
  renewed->last_error = object->last_error;
  list_[index] = renewed;

  if (renewed->range_begin + renewed->bytes_in_range > renewed->range_end) {
    byte_range range;
    if (!allocate_range(range)) {
      renewed->done = true;
      return;
    }
    renewed->range_begin = range.begin;
    renewed->range_end = range.end;
    renewed->bytes_in_range = 0;
  }
  prepare_stream(renewed, range_options(renewed->range_begin + renewed->bytes_in_range, renewed->range_end));
  renewed->stream->async_open(final_url_, [self = shared_from_this(), index, renewed](const boost::system::error_code& e) {
    self->handle_open(index, renewed, e);
  });
}

void multi_download::finish_if_all_done()
{
  std::lock_guard<std::mutex> lock(list_mutex_);
  if (!std::all_of(list_.begin(), list_.end(), [](const object_ptr& o) { return o->done; })) return;
  abort_ = true;
  timer_.cancel(); // its handler writes the meta file a last time and closes the files
}

void multi_download::on_tick(const boost::system::error_code& ec)
{
  if (accept_multi_) update_meta();
  if (abort_ || ec) {
    close_files();
    return;
  }

  rate_ = static_cast<int>((static_cast<double>(rate_) * 7 + static_cast<double>(tick_bytes_)) * 0.125);
  tick_bytes_ = 0;
  rate_budget_ = settings_.download_rate_limit;

  const auto now = std::chrono::steady_clock::now();
  bool all_done;
  {
    std::lock_guard<std::mutex> lock(list_mutex_);
    for (std::size_t i = 0; i < list_.size(); ++i) {
      const object_ptr& object = list_[i];
      if (!object->done && now - object->last_request_time > std::chrono::seconds(settings_.time_out))
        replace_connection(i);
    }
    all_done = std::all_of(list_.begin(), list_.end(), [](const object_ptr& o) { return o->done; });
  }
  if (all_done) {
    abort_ = true;
    close_files();
    return;
  }
  arm_timer();
}

void multi_download::update_meta()
{
  boost::system::error_code ec;
  if (!meta_.is_open()) {
    meta_.open(settings_.meta_file, ec);
    if (ec) return; // the next tick tries again
  }
  meta_state state;
  state.final_url = final_url_.to_string(url::all_components);
  state.file_size = file_size_;
  state.piece_size = settings_.piece_size;
  state.bits = downloaded_.to_bitfield(settings_.piece_size);
  const std::string bytes = bencode(make_meta(state));
  meta_.write(bytes.data(), bytes.size(), 0, ec);
}

bool multi_download::open_meta(const std::wstring& path)
{
  std::error_code size_error;
  std::uintmax_t size = std::filesystem::file_size(path, size_error);
  if (size_error) size = 0;

  boost::system::error_code ec;
  meta_.close();
  meta_.open(path, ec);
  if (ec) return false;
  if (size == 0) return true;

  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (meta_.read(bytes.data(), bytes.size(), 0, ec) != static_cast<std::int64_t>(bytes.size())) return false;
  bool error = false;
  const entry decoded = bdecode(bytes, error);
  if (error) return false;
  meta_state state;
  if (!read_meta(decoded, state)) return false;

  if (settings_.allow_use_meta_url && !state.final_url.empty()) {
    url stored = url::from_string(state.final_url, ec);
    if (!ec) final_url_ = stored;
  }
  file_size_ = state.file_size;
  requested_.resize(state.file_size);
  downloaded_.resize(state.file_size);
  settings_.piece_size = static_cast<int>(state.piece_size);
  requested_.from_bitfield(state.bits, state.piece_size);
  downloaded_.from_bitfield(state.bits, state.piece_size);
  return true;
}

void multi_download::close_files()
{
  meta_.close();
  storage_.reset();
}

} // namespace qvhttp
