// The program's file MD5 (FileMd5Hex, OpenSSL over read(2) through a
// 256 KiB buffer) on a 512 MiB file in the page cache, against md5sum on the
// same file (target: at least 0.9 of its throughput) and against the other
// way the program could do it, Qt's QCryptographicHash fed from a QFile
// through addData(QIODevice*). The three run alternated.
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/file_helpers.h"
#include "environment.h"
#include "timing.h"

namespace {

std::string qtFileMd5Hex(const std::string& fileName) {
  QFile file(QString::fromStdString(fileName));
  QCryptographicHash hash(QCryptographicHash::Md5);
  if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) std::abort();
  return hash.result().toHex().toStdString();
}

std::string md5sum(const std::string& fileName) {
  const std::string cmd = "md5sum '" + fileName + "'";
  std::string out;
  if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
    char buf[128] = {};
    if (std::fgets(buf, sizeof buf, pipe)) out.assign(buf, 32);
    ::pclose(pipe);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
  // In /tmp rather than the scratch folder's /dev/shm: the program hashes
  // files from a disk, served from the page cache once read.
  const std::string file =
      (std::filesystem::temp_directory_path() / ("tovarin-bench-md5-" + std::to_string(::getpid())))
          .string();
  bench::makeFile(file, mib * bench::kMiB);
  std::string openssl, qt, reference;
  const auto times = bench::alternate(
      bench::kMinRounds, {[&] { reference = md5sum(file); }, [&] { openssl = FileMd5Hex(file); },
                          [&] { qt = qtFileMd5Hex(file); }});
  std::filesystem::remove(file);

  const double sumS = bench::median(times[0]), sslS = bench::median(times[1]),
               qtS = bench::median(times[2]);
  std::printf("MD5 of a %llu MiB file in the page cache, %zu rounds\n",
              static_cast<unsigned long long>(mib), times[0].size());
  std::printf("  md5sum:                       median %.3f s (%.0f MiB/s)\n", sumS, mib / sumS);
  std::printf("  FileMd5Hex (OpenSSL):         median %.3f s (%.0f MiB/s)\n", sslS, mib / sslS);
  std::printf("  QCryptographicHash (QFile):   median %.3f s (%.0f MiB/s)\n", qtS, mib / qtS);
  std::printf("  throughput ratio FileMd5Hex / md5sum: %.3f (target >= 0.9)\n", sumS / sslS);
  std::printf("  throughput ratio Qt / md5sum:         %.3f\n", sumS / qtS);
  if (openssl != reference || qt != reference) {
    std::printf("digests differ: md5sum %s, OpenSSL %s, Qt %s\n", reference.c_str(),
                openssl.c_str(), qt.c_str());
    return 1;
  }
  return 0;
}
