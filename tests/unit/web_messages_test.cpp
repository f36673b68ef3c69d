// The update server's history and message files taken apart, the message
// draw, and which addresses the page's link may open.
#include <gtest/gtest.h>

#include <map>

#include "updateservice/browser_launch.h"
#include "updateservice/http_client.h"
#include "updateservice/web_fetch.h"
#include "updateservice/web_messages.h"

namespace {

using Lines = std::vector<std::string>;

// Twelve messages, so that keys such as "1short=" also occur inside
// "11short=" and "12short=".
std::string twelveMessages() {
  std::string file = "count=12;\r\n";
  for (int k = 1; k <= 12; ++k) {
    const std::string n = std::to_string(k);
    file += n + "short=caption " + n + "&content=tip " + n + "&url=http://h/" + n + "&;\r\n";
  }
  return file;
}

class TableHttp final : public IHttpClient {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> asked;
  HttpResult getToMemory(const std::string& url, std::string* body) override {
    asked.push_back(url);
    const auto it = files.find(url);
    if (it == files.end()) return {false, "HTTP/1.1 404 Not Found"};
    *body = it->second;
    return {true, "HTTP/1.1 200 OK"};
  }
  HttpResult getToFile(const std::string&, const std::string&, IHttpProgress*) override {
    return {};
  }
};

class DrawOf final : public IRandom {
 public:
  explicit DrawOf(int value) : value_(value) {}
  void seed(std::uint64_t value) override { seeds.push_back(value); }
  int between(int low, int high) override {
    ranges.push_back({low, high});
    return value_;
  }
  std::vector<std::uint64_t> seeds;
  std::vector<std::pair<int, int>> ranges;

 private:
  int value_;
};

class ClockAt final : public IClock {
 public:
  std::int64_t nowMs() override { return 1234567; }
};

class RecordingBrowser final : public IBrowser {
 public:
  QString defaultBrowserPath() override { return {}; }
  void launch(const QString& program, const QString& address) override {
    launched.push_back((program + " " + address).toStdString());
  }
  std::vector<std::string> launched;
};

const std::string kMessages = "http://192.0.2.1/IPC/RandomMessages.txt";

}  // namespace

TEST(WebMessagesTest, HistoryLinesBreakAtCrLfAndCrLf) {
  EXPECT_EQ(historyLines("a\r\nb\nc\rd").lines, (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(historyLines("a\n\nb\r\r\nc\r\n").lines, (Lines{"a", "", "b", "", "c"}));
  EXPECT_EQ(historyLines("\n").lines, (Lines{""}));
  EXPECT_TRUE(historyLines("").lines.empty());
  EXPECT_FALSE(historyLines("a\r\nb\r\n").cut);
}

TEST(WebMessagesTest, HugeHistoriesAndCaptionsAreCutAndSaySo) {
  // As many lines as may be shown, the last break included: nothing cut.
  EXPECT_FALSE(historyLines("a\nb\r\n", 2, 100).cut);
  HistoryText lines = historyLines("a\nb\nc", 2, 100);
  EXPECT_EQ(lines.lines, (Lines{"a", "b"}));
  EXPECT_TRUE(lines.cut);
  // A million lines: only the first thousand are kept.
  std::string many;
  for (int i = 0; i < 1000000; ++i) many += "v\n";
  lines = historyLines(many);
  EXPECT_EQ(lines.lines.size(), kMaxHistoryLines);
  EXPECT_TRUE(lines.cut);
  // One line of 15 MB, with a three-byte character across the bound.
  const std::string huge =
      std::string(kMaxHistoryBytes - 1, 'h') + "\xe4\xb8\xad" + std::string(15'000'000, 'h');
  lines = historyLines(huge);
  ASSERT_EQ(lines.lines.size(), 1u);
  EXPECT_EQ(lines.lines[0], std::string(kMaxHistoryBytes - 1, 'h'));
  EXPECT_TRUE(lines.cut);

  const std::string caption(15'000'000, 'c');
  const std::string address = "http://h/" + std::string(kMaxAddressBytes, 'a');
  const auto message = messageNumber("1short=" + caption + "&content=tip&url=" + address + "&;", 1);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->caption.size(), kMaxCaptionBytes);
  EXPECT_TRUE(message->captionCut);
  EXPECT_EQ(message->tooltip, "tip");
  EXPECT_FALSE(message->tooltipCut);
  EXPECT_EQ(message->address, "") << "a cut address would lead elsewhere";
}

TEST(WebMessagesTest, CountIsTheTextUpToTheFirstSemicolon) {
  EXPECT_EQ(messageCount("count=12;1short=x").value, 12);
  for (const char* none : {"count=0;1short=x&content=&url=&;", "count=-3;", "count=;", "no count"})
    EXPECT_EQ(messageCount(none).kind, MessageCount::None) << none;
  EXPECT_EQ(messageCount("count=twelve;").kind, MessageCount::Unreadable);
}

TEST(WebMessagesTest, MessageIsFoundByItsWholeKey) {
  const std::string file = twelveMessages();
  const auto ten = messageNumber(file, 10);
  ASSERT_TRUE(ten);
  EXPECT_EQ(ten->caption, "caption 10");  // not "=caption 10"
  EXPECT_EQ(ten->tooltip, "tip 10");
  EXPECT_EQ(ten->address, "http://h/10");
  EXPECT_EQ(messageNumber(file, 1)->caption, "caption 1");
  EXPECT_FALSE(messageNumber(file, 13));
}

TEST(WebMessagesTest, AMessageWithoutAPartIsNotTakenFromTheNext) {
  const std::string file = "count=2;1short=no parts&;2short=two&content=tip&url=http://h/2&;";
  EXPECT_FALSE(messageNumber(file, 1));
  const auto two = messageNumber(file, 2);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->caption, "two");
  // Texts may hold "&" and "=" that are not keys.
  const auto odd = messageNumber("1short=a&b=c&content=x=y&url=http://h/?q=1&r=2&;", 1);
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->caption, "a&b=c");
  EXPECT_EQ(odd->tooltip, "x=y");
  EXPECT_EQ(odd->address, "http://h/?q=1&r=2");
}

TEST(WebMessagesTest, FetchDrawsFromOneToCountAfterSeedingFromTheClock) {
  TableHttp http;
  http.files[kMessages] = twelveMessages();
  DrawOf ten(10);
  ClockAt clock;
  const MessageFetch got = fetchWebMessage(http, "192.0.2.1", ten, clock);
  EXPECT_EQ(got.kind, MessageFetch::Drawn);
  EXPECT_EQ(got.message.caption, "caption 10");
  EXPECT_EQ(ten.seeds, (std::vector<std::uint64_t>{1234567}));
  EXPECT_EQ(ten.ranges, (std::vector<std::pair<int, int>>{{1, 12}}));
  EXPECT_EQ(http.asked, (std::vector<std::string>{kMessages}));
}

TEST(WebMessagesTest, FetchTellsNoMessageFromFailure) {
  TableHttp http;
  DrawOf one(1);
  ClockAt clock;
  EXPECT_EQ(fetchWebMessage(http, "192.0.2.1", one, clock).kind, MessageFetch::Failed);
  http.files[kMessages] = "count=0;";
  EXPECT_EQ(fetchWebMessage(http, "192.0.2.1", one, clock).kind, MessageFetch::NoMessage);
  http.files[kMessages] = "count=x;1short=a&content=b&url=http://h&;";
  EXPECT_EQ(fetchWebMessage(http, "192.0.2.1", one, clock).kind, MessageFetch::Failed);
  EXPECT_TRUE(one.ranges.empty()) << "no draw without a count";
}

TEST(WebMessagesTest, OnlyWebAddressesAreOpened) {
  RecordingBrowser browser;
  const QString xdg = "/usr/bin/xdg-open";
  EXPECT_TRUE(openWebAddress(&browser, xdg, "http://127.0.0.1/news.html"));
  EXPECT_TRUE(openWebAddress(&browser, xdg, "HTTPS://example.net/a b"));
  EXPECT_EQ(browser.launched,
            (std::vector<std::string>{"/usr/bin/xdg-open http://127.0.0.1/news.html",
                                      "/usr/bin/xdg-open HTTPS://example.net/a b"}));
  browser.launched.clear();
  for (const QString& address :
       {QString("file:///etc/passwd"), QString("-flag"), QString("--help http://h/"),
        QString("javascript:alert(1)"), QString(" http://h/"), QString("http://h/\nrm"), QString()})
    EXPECT_FALSE(openWebAddress(&browser, xdg, address)) << address.toStdString();
  EXPECT_FALSE(openWebAddress(&browser, "", "http://h/")) << "no browser found";
  EXPECT_FALSE(openWebAddress(nullptr, xdg, "http://h/"));
  EXPECT_TRUE(browser.launched.empty());
}

TEST(WebMessagesTest, BrowserPathIsBetweenTheFirstTwoQuotes) {
  EXPECT_EQ(browserPathFromCommand(R"("C:\Program Files\Web\web.exe" -- "%1")"),
            R"(C:\Program Files\Web\web.exe)");
  EXPECT_EQ(browserPathFromCommand(R"(C:\web.exe %1)"), "");
}
