#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment.h"
#include "lab.h"
#include "md5.h"
#include "timing.h"

namespace {

TEST(BenchTiming, MedianOfUnsortedOddAndEvenCounts) {
  EXPECT_DOUBLE_EQ(bench::median({5, 1, 3}), 3);
  EXPECT_DOUBLE_EQ(bench::median({4, 1, 3, 2}), 2.5);
  EXPECT_DOUBLE_EQ(bench::median({}), 0);
}

TEST(BenchTiming, AlternatesEveryRunEachRoundWithTheResetBeforeEach) {
  std::string order;
  const auto times =
      bench::alternate(2, {[&] { order += 'a'; }, [&] { order += 'b'; }}, [&] { order += '.'; });
  // Fewer rounds than the minimum are raised to it.
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(times[0].size(), static_cast<std::size_t>(bench::kMinRounds));
  EXPECT_EQ(times[1].size(), static_cast<std::size_t>(bench::kMinRounds));
  std::string expected;
  for (int i = 0; i < bench::kMinRounds; ++i) expected += ".a.b";
  EXPECT_EQ(order, expected);
}

TEST(BenchTiming, PairsWarmUpUntimedAndKeepEachSideApart) {
  int subjectRuns = 0, baselineRuns = 0;
  const bench::PairResult r = bench::runPairs(
      9, [&] { ++subjectRuns; }, [&] { ++baselineRuns; }, {}, true);
  EXPECT_EQ(subjectRuns, 10);
  EXPECT_EQ(baselineRuns, 10);
  EXPECT_EQ(r.subjectTimes.size(), 9u);
  EXPECT_EQ(r.baselineTimes.size(), 9u);
  EXPECT_DOUBLE_EQ(r.subject, bench::median(r.subjectTimes));
  EXPECT_DOUBLE_EQ(r.baseline, bench::median(r.baselineTimes));
}

TEST(BenchLab, CopiesAreExactAndTheHashingCopyReturnsTheFilesDigest) {
  bench::ScratchFolder work;
  const std::string source = work.path + "/in/source.bin";
  bench::makeFile(source, 3 * 256 * 1024 + 17);  // not a whole number of buffers
  ASSERT_EQ(std::filesystem::file_size(source), 3u * 256 * 1024 + 17);
  std::string digest;
  ASSERT_TRUE(wire::md5File(source, &digest));

  EXPECT_EQ(bench::hashingTcpCopy(source, work.path + "/hashed.bin"), digest);
  bench::plainTcpCopy(source, work.path + "/plain.bin");
  for (const char* name : {"/hashed.bin", "/plain.bin"}) {
    std::string copied;
    ASSERT_TRUE(wire::md5File(work.path + name, &copied));
    EXPECT_EQ(copied, digest) << name;
  }
}

}  // namespace
