#include "qvhttp/multi_download.hpp"

#include "qvhttp/bencode.hpp"
#include "qvhttp/default_storge.hpp"
#include "qvhttp/error_codes.hpp"
#include "qvhttp/meta.hpp"
#include "test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace qvtest;

namespace {

// A short time_out for the tests of stalls and errors; others keep a long one, so that a slow machine
// (a sanitizer build, TLS handshakes) is not taken for a stalled server.
qvhttp::download_settings Settings(const fs::path& dir, int connections = 16, int timeOut = 10)
{
  qvhttp::download_settings s;
  s.connections_limit = connections;
  s.time_out = timeOut;
  s.request_piece_num = 8;
  s.save_path = (dir / "data.tmp").wstring();
  s.meta_file = (dir / "data.cfg").wstring();
  s.allow_use_meta_url = false;
  s.check_certificate = false;
  return s;
}

// One download on its own I/O thread, as the download job runs it.
class Download {
public:
  explicit Download(const qvhttp::download_settings& settings) : settings_(settings) {}
  ~Download()
  {
    if (thread_.joinable()) {
      if (ended_.wait_for(0s) != std::future_status::ready) downloader->stop();
      thread_.join();
    }
  }

  void Start(const std::string& url)
  {
    ended_ = ended_promise_.get_future();
    thread_ = std::thread([this, url] {
      downloader->start(url, settings_, start_error);
      if (!start_error) io_.run();
      ended_promise_.set_value();
    });
  }
  // Runs to the end; false when it did not end within limit.
  bool Run(const std::string& url, std::chrono::seconds limit = 60s)
  {
    Start(url);
    return WaitEnd(limit);
  }
  bool WaitEnd(std::chrono::seconds limit) { return ended_.wait_for(limit) == std::future_status::ready; }

  boost::asio::io_context io_;
  const std::shared_ptr<qvhttp::multi_download> downloader = std::make_shared<qvhttp::multi_download>(io_);
  boost::system::error_code start_error;

private:
  qvhttp::download_settings settings_;
  std::promise<void> ended_promise_;
  std::future<void> ended_;
  std::thread thread_;
};

std::size_t CountLines(const std::string& text, const std::string& part)
{
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

qvhttp::meta_state ReadMeta(const fs::path& path)
{
  bool error = true;
  const qvhttp::entry decoded = qvhttp::bdecode(ReadFile(path), error);
  qvhttp::meta_state state;
  EXPECT_FALSE(error);
  EXPECT_TRUE(!error && qvhttp::read_meta(decoded, state));
  return state;
}

void SwitchNetwork(const char* what)
{
  boost::asio::io_context io;
  qvhttp::http_stream control(io);
  boost::system::error_code ec;
  control.open(ControlUrl(what), ec);
  ASSERT_FALSE(ec) << ec.message();
}

TEST(MultiDownload, PieceSizeFollowsTheFileSize)
{
  struct Case {
    std::int64_t size;
    int piece;
  };
  for (const Case& c : {Case{0, 16384}, Case{1000, 16384}, Case{33554432, 16384}, Case{33556480, 32768},
                        Case{100 * 1048576, 65536}, Case{std::int64_t(1) << 40, 16777216}})
    EXPECT_EQ(qvhttp::multi_download::default_piece_size(c.size), c.piece) << c.size;
}

TEST(MultiDownload, RangesOverManyConnectionsHttpAndHttps)
{
  const std::string source = Source("eight.bin");
  for (const std::string& url : {HttpUrl("/eight.bin"), HttpsUrl("/eight.bin")}) {
    const fs::path dir = FreshFolder("ranges");
    const std::size_t before = CountLines(AccessLog(), "/eight.bin 206");
    Download d(Settings(dir));
    ASSERT_TRUE(d.Run(url)) << url;
    ASSERT_FALSE(d.start_error) << d.start_error.message();
    EXPECT_TRUE(d.downloader->accept_multi());
    EXPECT_EQ(d.downloader->file_size(), static_cast<std::int64_t>(source.size()));
    EXPECT_EQ(d.downloader->bytes_downloaded(), d.downloader->file_size());
    EXPECT_TRUE(ReadFile(dir / "data.tmp") == source) << url;
    // 8 MiB in ranges of 128 KiB: far more answers than connections.
    EXPECT_GE(CountLines(AccessLog(), "/eight.bin 206") - before, 64u) << url;
    const qvhttp::meta_state meta = ReadMeta(dir / "data.cfg");
    EXPECT_EQ(meta.file_size, static_cast<std::int64_t>(source.size()));
    EXPECT_EQ(meta.bits, std::vector<bool>(meta.bits.size(), true));
  }
}

TEST(MultiDownload, ServerAnswering200IsReadOverOneConnectionWithoutMeta)
{
  const fs::path dir = FreshFolder("whole");
  const std::size_t before = CountLines(AccessLog(), "/whole/three.bin ");
  Download d(Settings(dir));
  ASSERT_TRUE(d.Run(HttpUrl("/whole/three.bin")));
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_FALSE(d.downloader->accept_multi());
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("three.bin"));
  EXPECT_EQ(d.downloader->bytes_downloaded(), d.downloader->file_size());
  EXPECT_FALSE(fs::exists(dir / "data.cfg"));
  EXPECT_EQ(CountLines(AccessLog(), "/whole/three.bin ") - before, 1u);
}

TEST(MultiDownload, BodyWithoutLengthIsReadToTheEndAndSizeStaysUnknown)
{
  const fs::path dir = FreshFolder("nolength");
  Download d(Settings(dir));
  ASSERT_TRUE(d.Run(ScriptUrl("/nolength/1/three.bin")));
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_EQ(d.downloader->file_size(), -1);
  EXPECT_EQ(d.downloader->bytes_downloaded(), static_cast<std::int64_t>(Source("three.bin").size()));
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("three.bin"));
}

TEST(MultiDownload, FileSmallerThanOneRangeNeedsOnlyTheFirstAnswer)
{
  const fs::path dir = FreshFolder("small");
  const std::size_t before = CountLines(AccessLog(), "/small.bin ");
  Download d(Settings(dir));
  ASSERT_TRUE(d.Run(HttpUrl("/small.bin")));
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_TRUE(d.downloader->accept_multi());
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("small.bin"));
  EXPECT_EQ(CountLines(AccessLog(), "/small.bin ") - before, 1u);
}

TEST(MultiDownload, RangeRequestsAnswered404AreGivenUpNotRetried)
{
  const fs::path dir = FreshFolder("norange");
  const std::size_t before = CountLines(AccessLog(), "/norange/three.bin 404");
  Download d(Settings(dir, 16, 1));
  ASSERT_TRUE(d.Run(HttpUrl("/norange/three.bin"), 30s)) << "the download kept retrying";
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_LT(d.downloader->bytes_downloaded(), d.downloader->file_size());
  // Only the first range came, with the open-ended first answer; each connection asked once more.
  EXPECT_EQ(d.downloader->bytes_downloaded(), 8 * 16384);
  EXPECT_LE(CountLines(AccessLog(), "/norange/three.bin 404") - before, 16u);
}

TEST(MultiDownload, BrokenRangeAnswersAreReplacedAndNeverWritten)
{
  const std::string source = Source("three.bin");
  // The second request of each path gets the fault; the replacement's request is answered properly.
  for (const char* path : {"/ignore/2/three.bin", "/shifted/2/three.bin", "/stall/2/three.bin"}) {
    const fs::path dir = FreshFolder("broken");
    Download d(Settings(dir, 16, 1));
    ASSERT_TRUE(d.Run(ScriptUrl(path), 30s)) << path;
    ASSERT_FALSE(d.start_error) << path << ": " << d.start_error.message();
    EXPECT_EQ(d.downloader->bytes_downloaded(), static_cast<std::int64_t>(source.size())) << path;
    EXPECT_TRUE(ReadFile(dir / "data.tmp") == source) << path;
  }
}

// Refuses one write past the first MiB, as a full disk would.
std::atomic<bool> g_writeRefused{false};
class FailingOnceStorage : public qvhttp::default_storge {
public:
  using default_storge::write;
  std::int64_t write(const char* buffer, std::int64_t offset, int size) override
  {
    if (offset >= 1048576 && !g_writeRefused.exchange(true)) return -1;
    return default_storge::write(buffer, offset, size);
  }
};

TEST(MultiDownload, FailedWriteIsFetchedAgainNotCountedAsDownloaded)
{
  const fs::path dir = FreshFolder("diskfull");
  qvhttp::download_settings settings = Settings(dir, 16, 1);
  settings.storage_constructor = []() -> qvhttp::storage_interface* { return new FailingOnceStorage(); };
  Download d(settings);
  ASSERT_TRUE(d.Run(HttpUrl("/three.bin"), 30s));
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_TRUE(g_writeRefused);
  EXPECT_EQ(d.downloader->bytes_downloaded(), d.downloader->file_size());
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("three.bin"));
}

TEST(MultiDownload, StopFromAnotherThreadThenResumeFromTheMetaFile)
{
  const std::string source = Source("eight.bin");
  const fs::path dir = FreshFolder("resume");
  {
    Download d(Settings(dir));
    d.Start(HttpUrl("/slow/eight.bin"));
    while (d.downloader->bytes_downloaded() < 1048576 && !d.WaitEnd(0s)) std::this_thread::sleep_for(20ms);
    d.downloader->stop();
    ASSERT_TRUE(d.WaitEnd(10s)) << "stop did not end the download";
    ASSERT_FALSE(d.start_error) << d.start_error.message();
    EXPECT_LT(d.downloader->bytes_downloaded(), d.downloader->file_size());
  }
  // Every piece the meta file calls done holds the source's bytes.
  const qvhttp::meta_state meta = ReadMeta(dir / "data.cfg");
  const std::string partial = ReadFile(dir / "data.tmp");
  std::size_t done = 0;
  for (std::size_t i = 0; i < meta.bits.size(); ++i) {
    if (!meta.bits[i]) continue;
    ++done;
    const std::size_t at = i * static_cast<std::size_t>(meta.piece_size);
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(meta.piece_size), source.size() - at);
    ASSERT_TRUE(partial.compare(at, length, source, at, length) == 0) << "piece " << i;
  }
  EXPECT_GT(done, 0u);
  EXPECT_LT(done, meta.bits.size());

  Download resumed(Settings(dir));
  ASSERT_TRUE(resumed.Run(HttpUrl("/eight.bin")));
  ASSERT_FALSE(resumed.start_error) << resumed.start_error.message();
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == source);
}

TEST(MultiDownload, DownloadCompleteByItsMetaFileReadsNothing)
{
  const fs::path dir = FreshFolder("complete");
  {
    Download d(Settings(dir));
    ASSERT_TRUE(d.Run(HttpUrl("/three.bin")));
    ASSERT_FALSE(d.start_error);
  }
  const std::size_t before = CountLines(AccessLog(), "/three.bin ");
  Download again(Settings(dir));
  ASSERT_TRUE(again.Run(HttpUrl("/three.bin"), 10s));
  ASSERT_FALSE(again.start_error) << again.start_error.message();
  EXPECT_EQ(again.downloader->bytes_downloaded(), again.downloader->file_size());
  EXPECT_EQ(CountLines(AccessLog(), "/three.bin ") - before, 1u) << "only the first request";
}

TEST(MultiDownload, NetworkGoingAwayNeitherEndsNorFailsTheDownload)
{
  const fs::path dir = FreshFolder("unplugged");
  Download d(Settings(dir, 16, 1));
  d.Start(ForwardUrl("/slow/eight.bin"));
  while (d.downloader->bytes_downloaded() < 524288 && !d.WaitEnd(0s)) std::this_thread::sleep_for(20ms);
  SwitchNetwork("/off");
  std::this_thread::sleep_for(500ms); // bytes already in flight land
  const std::int64_t during = d.downloader->bytes_downloaded();
  // Several time-outs pass: each connection is replaced and fails again.
  EXPECT_FALSE(d.WaitEnd(3s)) << "the download ended while the network was away";
  EXPECT_EQ(d.downloader->bytes_downloaded(), during);
  SwitchNetwork("/on");
  ASSERT_TRUE(d.WaitEnd(60s));
  ASSERT_FALSE(d.start_error) << d.start_error.message();
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("eight.bin"));
}

TEST(MultiDownload, UnusableMetaFileIsDiscardedAndWrongKeyTypeFailsTheStart)
{
  {
    const fs::path dir = FreshFolder("badmeta");
    std::ofstream(dir / "data.cfg", std::ios::binary) << "d8:bitfield";
    std::ofstream(dir / "data.tmp", std::ios::binary) << std::string(5000, 'x');
    Download d(Settings(dir));
    ASSERT_TRUE(d.Run(HttpUrl("/three.bin")));
    ASSERT_FALSE(d.start_error) << d.start_error.message();
    EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("three.bin"));
  }
  {
    const fs::path dir = FreshFolder("wrongtype");
    std::ofstream(dir / "data.cfg", std::ios::binary)
        << "d8:bitfield0:9:file_size3:abc9:final_url0:9:piece_numi0e10:piece_sizei16384ee";
    Download d(Settings(dir));
    ASSERT_TRUE(d.Run(HttpUrl("/three.bin"), 10s));
    EXPECT_EQ(d.start_error, make_error_code(qvhttp::errc::invalid_entry_type));
  }
}

TEST(MultiDownload, StartErrors)
{
  struct Case {
    std::string url;
    boost::system::error_code error;
  };
  const Case cases[] = {
      {"no url at all", make_error_code(boost::system::errc::invalid_argument)},
      {HttpUrl("/missing.bin"), make_error_code(qvhttp::errc::not_found)},
      {"http://127.0.0.1:1/closed-port", boost::asio::error::connection_refused},
      // The first answer is awaited for time_out, not for ever.
      {ScriptUrl("/silent/1/three.bin"), boost::asio::error::timed_out},
      // A first answer from elsewhere than byte 0 would be written at offset 0.
      {ScriptUrl("/shifted/1/three.bin"), make_error_code(boost::system::errc::protocol_error)},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshFolder("errors");
    Download d(Settings(dir, 16, 1));
    ASSERT_TRUE(d.Run(c.url, 20s)) << c.url;
    EXPECT_EQ(d.start_error, c.error) << c.url << ": " << d.start_error.message();
  }
}

TEST(MultiDownload, RateLimitHoldsTheWholeDownloadBack)
{
  const fs::path dir = FreshFolder("limited");
  qvhttp::download_settings settings = Settings(dir, 4);
  settings.download_rate_limit = 1048576;
  Download d(settings);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(d.Run(HttpUrl("/three.bin")));
  // 3 MiB at 1 MiB per second needs at least two refills of the budget.
  EXPECT_GE(std::chrono::steady_clock::now() - started, 2s);
  EXPECT_TRUE(ReadFile(dir / "data.tmp") == Source("three.bin"));
}

} // namespace
