#include "bench_support.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "socket_io.h"

namespace bench {

namespace {
constexpr std::size_t kBuffer = 256 * 1024;
}

void enterPrivateNetwork(int argc, char** argv) {
  const char* inside = std::getenv("TOVARIN_IN_NETNS");
  if (inside && std::string(inside) == "1") return;
  std::vector<char*> args{const_cast<char*>(TOVARIN_NETNS_RUN)};
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execv(TOVARIN_NETNS_RUN, args.data());
  std::perror("netns-run.sh");
  std::exit(77);
}

ScratchFolder::ScratchFolder() {
  // Memory-backed when there is room, so that disk write-back does not
  // drown the difference being measured.
  std::error_code ec;
  auto space = std::filesystem::space("/dev/shm", ec);
  std::string base = (!ec && space.available > (3ull << 30)) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/tovarin-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) std::abort();
  path = pattern;
}
ScratchFolder::~ScratchFolder() { std::filesystem::remove_all(path); }

void makeFile(const std::string& path, std::uint64_t size) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::vector<unsigned char> buffer(kBuffer);
  std::uint32_t x = 12345;
  for (auto& b : buffer) b = static_cast<unsigned char>((x = x * 1664525u + 1013904223u) >> 24);
  for (std::uint64_t left = size; left > 0;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBuffer));
    buffer[0] = static_cast<unsigned char>(left);  // no two blocks alike
    std::fwrite(buffer.data(), 1, n, f);
    left -= n;
  }
  std::fclose(f);
}

devsim::DeviceConfig benchDevice(const std::string& storageTemplate) {
  devsim::DeviceConfig d;
  d.identifier = "BENCH";
  d.address = "127.0.0.2";
  d.hardware = "47RKT";
  d.version = 2010;
  d.accounts = {{"admin", ""}};
  d.storageTemplate = storageTemplate;
  return d;
}

double seconds(const std::function<void()>& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void comparePairs(const std::string& title, int pairs, std::uint64_t bytes,
                  const std::function<void()>& baseline, const std::function<void()>& subject,
                  const std::function<void()>& untimedReset) {
  std::vector<double> base, subj;
  for (int i = 0; i < pairs; ++i) {
    if (untimedReset) untimedReset();
    base.push_back(seconds(baseline));
    if (untimedReset) untimedReset();
    subj.push_back(seconds(subject));
  }
  double b = median(base), s = median(subj);
  std::printf(
      "%s\n  baseline median %.3f s (%.0f MiB/s), subject median %.3f s (%.0f MiB/s)\n"
      "  ratio (subject/baseline throughput) %.2f over %d pairs\n",
      title.c_str(), b, bytes / b / kMiB, s, bytes / s / kMiB, b / s, pairs);
  std::fflush(stdout);
}

void plainTcpCopy(const std::string& source, const std::string& target) {
  wire::Fd listener = wire::listenTcp("127.0.0.60", 9100, nullptr);
  if (!listener.valid()) std::abort();
  std::thread sender([&] {
    wire::Fd c(::accept(listener.get(), nullptr, nullptr));
    int in = ::open(source.c_str(), O_RDONLY);
    auto buffer = std::make_unique<char[]>(kBuffer);
    ssize_t n;
    while ((n = ::read(in, buffer.get(), kBuffer)) > 0)
      wire::sendAll(c.get(), buffer.get(), static_cast<std::size_t>(n), 10000);
    ::close(in);
  });
  wire::Fd c = wire::connectTcp("127.0.0.60", 9100, 1000);
  int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto buffer = std::make_unique<char[]>(kBuffer);
  std::size_t got = 0;
  while (wire::recvSome(c.get(), buffer.get(), kBuffer, &got, 10000) == wire::Io::Ok)
    if (::write(out, buffer.get(), got) != static_cast<ssize_t>(got)) std::abort();
  ::close(out);
  sender.join();
}

}  // namespace bench
