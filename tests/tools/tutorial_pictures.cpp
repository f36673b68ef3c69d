// tovarin-tutorial-pictures: draws the tutorial's six pictures from the real
// window, so that they follow the window when it changes.
//
//   tovarin-tutorial-pictures OUT_FOLDER [english]
//
// Run it with the device lab up (scripts/tutorial-pictures.sh does both in a
// private network namespace): it searches, picks the lab's first camera,
// logs in, grabs the window at each stage and writes STEP1.png .. STEP6.png
// with red notes and arrows pointing at the controls: Chinese notes over
// the Chinese window, or with "english" English notes over the English one.
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/mainform.h"
#include "app/skin.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "operator_session.h"
#include "session/discovery.h"
#include "updateservice/server_address.h"

namespace {

// The notes' language, chosen on the command line.
bool gEnglish = false;
QString pick(const char* chinese, const char* english) {
  return gEnglish ? QString::fromUtf8(english) : QString::fromUtf8(chinese);
}

const QColor kRed(0xd0, 0x10, 0x10);
const QSize kTitleSize(660, 540);
const QSize kStepSize(654, 514);
// Where the window's grab lies on a step picture: below the strip that the
// Skip button covers, inside the one-pixel margin the picture is shown with.
const QPoint kWindowOrigin(7, 28);
// Notes stay clear of the tutorial's step buttons: the window's x 0..50 and
// 592..640 between its y 109 and 318.

QFont cjkFont(int pixelSize, bool bold = true) {
  QFont font("Noto Sans CJK SC");
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QPoint nearestPointOn(const QRect& r, const QPoint& p) {
  return {std::clamp(p.x(), r.left(), r.right()), std::clamp(p.y(), r.top(), r.bottom())};
}

// A picture made of one grab of the window with notes drawn over it.
class StepPicture {
 public:
  explicit StepPicture(TMainForm& form) : form_(form), image_(kStepSize, QImage::Format_RGB888) {
    image_.fill(QColor(0x2b, 0x3a, 0x47));
    QPainter painter(&image_);
    painter.drawPixmap(kWindowOrigin, form.grab());
  }

  // A control's place on the picture, a little larger than the control.
  QRect place(const QWidget* control, int margin = 3) const {
    const QPoint topLeft = control->mapTo(&form_, QPoint(0, 0)) + kWindowOrigin;
    return QRect(topLeft, control->size()).adjusted(-margin, -margin, margin, margin);
  }
  // A rectangle given in the window's own coordinates.
  static QRect inWindow(int left, int top, int width, int height) {
    return QRect(kWindowOrigin + QPoint(left, top), QSize(width, height));
  }

  void ring(const QRect& r) {
    QPainter p(&image_);
    smooth(p);
    p.setPen(QPen(kRed, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 4, 4);
  }

  // A note: red text on a nearly opaque white card with a red border.
  void note(const QRect& box, const QString& text, int pixelSize = 16) {
    QPainter p(&image_);
    smooth(p);
    p.setPen(QPen(kRed, 2));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(box, 6, 6);
    p.setFont(cjkFont(pixelSize));
    p.drawText(box.adjusted(8, 4, -8, -4), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
               text);
  }

  // An arrow from the note's edge to the edge of the ringed control.
  void arrow(const QRect& from, const QRect& to) {
    const QPoint start = nearestPointOn(from, to.center());
    const QPoint end = nearestPointOn(to, start);
    QPainter p(&image_);
    smooth(p);
    p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
    const QLineF line(start, end);
    p.drawLine(line.pointAt(0), line.pointAt(std::max(0.0, 1.0 - 9.0 / line.length())));
    QLineF wing(end, start);
    wing.setLength(14);
    QPolygonF head;
    head << QPointF(end);
    for (const double angle : {25.0, -25.0}) {
      QLineF side = wing;
      side.setAngle(wing.angle() + angle);
      head << side.p2();
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPolygon(head);
  }

  // Ring the control and point at it from a note.
  void point(const QRect& box, const QString& text, const QRect& target, int pixelSize = 16) {
    ring(target);
    note(box, text, pixelSize);
    arrow(box, target);
  }

  bool save(const QString& file) const { return image_.save(file); }

 private:
  static void smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
  }

  TMainForm& form_;
  QImage image_;
};

// The title page: the name of the manual over a faded view of the window.
bool saveTitlePage(TMainForm& form, const QString& file) {
  QImage image(kTitleSize, QImage::Format_RGB888);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, kTitleSize.width(), kTitleSize.height());
  sky.setColorAt(0, QColor(0x1f, 0x4e, 0x66));
  sky.setColorAt(1, QColor(0x0f, 0x6e, 0x73));
  p.fillRect(image.rect(), sky);
  p.setOpacity(0.18);
  p.drawPixmap(QRect(250, 200, 384, 288), form.grab());
  p.setOpacity(0.10);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPoint(90, 420), 150, 150);
  p.drawEllipse(QPoint(560, 80), 110, 110);
  p.setOpacity(1.0);
  p.setPen(QPen(QColor(255, 255, 255, 160), 2));
  p.drawLine(140, 250, 510, 250);

  p.setPen(Qt::white);
  p.setFont(cjkFont(gEnglish ? 56 : 64));
  p.drawText(QRect(0, 130, 650, 110), Qt::AlignCenter, pick("使用说明", "Instructions"));
  p.setFont(cjkFont(24, false));
  p.drawText(QRect(0, 258, 650, 40), Qt::AlignCenter, "Instruction Manual");
  p.setFont(cjkFont(18, false));
  p.drawText(
      QRect(0, 310, 650, 30), Qt::AlignCenter,
      pick("Tovarin 网络摄像机固件升级工具", "Tovarin, the firmware update tool for IP cameras"));
  p.setFont(cjkFont(15, false));
  p.setPen(QColor(255, 255, 255, 210));
  p.drawText(QRect(0, 440, 650, 30), Qt::AlignCenter,
             pick("点击右侧“下一步”开始阅读，点击顶部“跳过说明”关闭",
                  "Press NextStep on the right to begin, Skip at the top to close"));
  return image.save(file);
}

QString quoted(const QString& caption) {
  return gEnglish ? QString("\"%1\"").arg(caption) : QString::fromUtf8("“%1”").arg(caption);
}

}  // namespace

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "english")) {
    std::fprintf(stderr, "usage: tovarin-tutorial-pictures OUT_FOLDER [english]\n");
    return 2;
  }
  gEnglish = argc == 3;
  if (QFontDatabase::families().filter("Noto Sans CJK SC").isEmpty())
    std::fprintf(stderr, "warning: Noto Sans CJK SC not found, notes may not be readable\n");
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());
  initUiThread();
  applySkin(app);
  OperatorSession session(defaultUpdateServer());
  TMainForm& f = session.form();
  auto path = [&out](int step) { return out.filePath(QString("STEP%1.png").arg(step)); };
  bool ok = true;

  // 2: the window as it opens, once its first search has ended. The
  // window shows the language of the notes, whatever language this build
  // folder was left in.
  session.show();
  session.play(gEnglish ? "console:language:english" : "console:language:chinese");
  QTest::qWaitFor([] { return !deviceSearchRunning(); }, 10000);
  QTest::qWait(200);
  {
    StepPicture picture(f);
    picture.point(StepPicture::inWindow(70, 330, 360, 58),
                  pick("第一步：点击%1按钮，\n搜索局域网内的设备",
                       "Step 1: press %1\nto find the cameras on the network")
                      .arg(quoted(f.DevSearch_Btn->text())),
                  picture.place(f.DevSearch_Btn));
    ok &= picture.save(path(2));
  }

  // 3: the lab's cameras in the list, the first one picked.
  session.play("select:0");
  {
    StepPicture picture(f);
    QTreeWidgetItem* first = f.DevList_TreeView->topLevelItem(0);
    QRect item = first ? f.DevList_TreeView->visualItemRect(first) : QRect();
    item.translate(f.DevList_TreeView->viewport()->mapTo(&f, QPoint(0, 0)) + kWindowOrigin);
    picture.point(StepPicture::inWindow(70, 60, 330, 58),
                  pick("第二步：双击列表中的设备，添加设备信息",
                       "Step 2: double-click a camera (or press Enter on it) to take it in"),
                  item.adjusted(-2, -2, 2, 2));
    ok &= picture.save(path(3));
  }

  // 4: the double-click filled the login fields.
  session.play("dblclick:0");
  QTest::qWait(200);
  {
    StepPicture picture(f);
    const QRect fields = picture.place(f.DeviceID_Label).united(picture.place(f.Password_Edit));
    picture.point(StepPicture::inWindow(70, 70, 300, 34),
                  pick("设备信息已自动填入登录栏", "The login fields are filled in"), fields);
    picture.point(StepPicture::inWindow(70, 350, 360, 58),
                  pick("第三步：点击%1按钮，\n登录并连接设备",
                       "Step 3: press %1 (or Enter)\nto log in to the camera")
                      .arg(quoted(f.Login_SBtn->text())),
                  picture.place(f.Login_SBtn));
    ok &= picture.save(path(4));
  }

  // 5 and 6: the firmware page after the login, its history fetched.
  session.play("login:");
  QTest::qWaitFor([&] { return !f.PatchMessage_Memo->toPlainText().isEmpty(); }, 3000);
  QTest::qWait(300);
  {
    StepPicture picture(f);
    // Short notes in the page's header, beside the values they explain.
    picture.point(StepPicture::inWindow(172, 31, 176, 30),
                  pick("固件类型（硬件型号）", "Hardware type"), picture.place(f.TargetHarward_Val),
                  gEnglish ? 13 : 15);
    picture.point(StepPicture::inWindow(495, 31, 140, 30), pick("当前固件版本", "Current version"),
                  picture.place(f.TargetVersion_Val), gEnglish ? 13 : 15);
    // The history's first column holds the patch versions.
    const QWidget* view = f.PatchMessage_Memo->viewport();
    const int lines = std::clamp(f.PatchMessage_Memo->blockCount(), 1, 8);
    const int lineHeight = QFontMetrics(f.PatchMessage_Memo->font()).lineSpacing();
    const QRect history(view->mapTo(&f, QPoint(0, 0)) + kWindowOrigin + QPoint(2, 2),
                        QSize(44, lines * lineHeight + 4));
    picture.point(StepPicture::inWindow(400, 90 + lines * lineHeight, 180, 58),
                  pick("更新历史：\n左列为补丁版本号", "Update history:\npatch versions at left"),
                  history, gEnglish ? 13 : 16);
    picture.point(StepPicture::inWindow(340, 318, 290, 58),
                  pick("注意：升级过程中切勿关闭设备电源，\n也不要关闭本程序！",
                       "Never switch the camera off or\nclose this program while it updates!"),
                  picture.place(f.FUwarningLabel_Label), gEnglish ? 13 : 16);
    ok &= picture.save(path(5));
  }
  {
    StepPicture picture(f);
    picture.ring(picture.place(f.Patch2Send_LV));
    picture.point(StepPicture::inWindow(345, 110, 240, 110),
                  pick("手动升级：需先从链接网页下载\n"
                       "该硬件型号对应的补丁包，\n"
                       "点击方框选择补丁，\n再点击%1",
                       "Manual update: download the\n"
                       "patch for this hardware from\n"
                       "the linked page, click the box\n"
                       "to pick it, then press %1")
                      .arg(quoted(f.FirmwareUpdate_Btn->text())),
                  picture.place(f.FirmwareUpdate_Btn), gEnglish ? 13 : 15);
    if (!f.WebMessageURL_Label->text().isEmpty())
      picture.ring(picture.place(f.WebMessageURL_Label));
    picture.point(
        StepPicture::inWindow(345, 250, 240, 80),
        pick("自动升级：全部步骤自动完成，\n需要电脑连接互联网，推荐使用",
             "Automatic update: does every\nstep by itself; needs the\nInternet. Recommended."),
        picture.place(f.CheckForUpdate_Btn), gEnglish ? 13 : 15);
    ok &= picture.save(path(6));
  }
  ok &= saveTitlePage(f, path(1));
  std::fprintf(stderr, "%s %s/STEP1.png .. STEP6.png\n", ok ? "wrote" : "failed to write",
               qPrintable(out.path()));
  return ok ? 0 : 1;
}
