// configs.ini, the Options page and the language packs, through the window.
#include <QtTest>
#include <filesystem>
#include <fstream>

#include <QMessageBox>
#include <QPushButton>
#include "form_fixture.h"
#include "settings/message_lists.h"

namespace {

std::string readAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const QString& path, const std::string& text) {
  QDir().mkpath(QFileInfo(path).path());
  std::ofstream(path.toStdString(), std::ios::binary) << text;
}

}  // namespace

class SettingsWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void firstStartCreatesTheFileAndFoldersAndAppliesFiveHundred() {
    FormFixture fx;
    TMainForm& f = fx.create();
    const QString exe = fx.exeDir.path();
    QVERIFY(QFileInfo::exists(exe + "/configs.ini"));
    for (const char* sub : {"download", "cach", "patch"})
      QVERIFY(QFileInfo(exe + "/" + sub).isDir());
    QCOMPARE(f.DownloadSavePath_Edit->text(), exe + "/download");
    QCOMPARE(f.PatchSavePath_Edit->text(), exe + "/patch");
    QCOMPARE(f.DownloadSpeedLimit_Edit->value(), 500);
    QCOMPARE(fx.device.flowCtrl, std::vector<int32_t>{500});
    QVERIFY(!f.DSLApply_Btn->isEnabled());
    const std::string ini = readAll(exe + "/configs.ini");
    QVERIFY(ini.find("speedlimit") == std::string::npos);
    QVERIFY(ini.find("downloadsavepath") < ini.find("cachpath"));
    QVERIFY(ini.find("cachpath") < ini.find("patchsavepath"));
  }

  void hugeStoredLimitIsAppliedWhileTheFieldShowsItsMaximum() {
    FormFixture fx;
    writeText(fx.exeDir.path() + "/configs.ini", "[CONFIGS]\nspeedlimit=20000\n");
    TMainForm& f = fx.create();
    QCOMPARE(fx.device.flowCtrl, std::vector<int32_t>{20000});
    QCOMPARE(f.state().settings.speedLimit, 20000);
    QCOMPARE(f.DownloadSpeedLimit_Edit->value(), 9999);
    f.DownloadSpeedLimit_Edit->setValue(100);
    QVERIFY(f.DSLApply_Btn->isEnabled());
    f.DSL_BtnClick(f.DSLCancel_Btn);
    QCOMPARE(f.DownloadSpeedLimit_Edit->value(), 9999);
    QVERIFY(!f.DSLApply_Btn->isEnabled());
  }

  void defaultAndApplyWriteTheLimitAndHandItToTheLibrary() {
    FormFixture fx;
    writeText(fx.exeDir.path() + "/configs.ini", "[CONFIGS]\nspeedlimit=0x1F4\n");
    TMainForm& f = fx.create();
    QCOMPARE(f.state().settings.speedLimit, 500);
    f.DSL_BtnClick(f.DSLDefault_Btn);  // already 500: no change, Apply stays off
    QVERIFY(!f.DSLApply_Btn->isEnabled());
    f.DownloadSpeedLimit_Edit->setValue(42);
    QVERIFY(f.DSLApply_Btn->isEnabled());
    QTest::mouseClick(f.DSLApply_Btn, Qt::LeftButton);
    QCOMPARE(fx.device.flowCtrl.back(), 42);
    QCOMPARE(f.state().settings.speedLimit, 42);
    QVERIFY(!f.DSLApply_Btn->isEnabled());
    QVERIFY(readAll(fx.exeDir.path() + "/configs.ini").find("speedlimit=42") != std::string::npos);
  }

  void browseWritesTheChosenFolderAndCancelChangesNothing() {
    FormFixture fx;
    TMainForm& f = fx.create();
    const std::string before = readAll(fx.exeDir.path() + "/configs.ini");
    f.DownloadSavePathBrows_BtnClick(f.PatchSavePathBrows_Btn);  // cancelled
    QCOMPARE(readAll(fx.exeDir.path() + "/configs.ini"), before);
    QCOMPARE(fx.dialogs.folderTitles, QStringList{QString::fromUtf8("请选择目录")});
    fx.dialogs.folders.push_back("/srv/patches");
    f.DownloadSavePathBrows_BtnClick(f.PatchSavePathBrows_Btn);
    QCOMPARE(f.PatchSavePath_Edit->text(), QString("/srv/patches"));
    QVERIFY(readAll(fx.exeDir.path() + "/configs.ini").find("patchsavepath=/srv/patches") !=
            std::string::npos);
    // Each Browse writes its own key and no other.
    const QString download = f.DownloadSavePath_Edit->text();
    fx.dialogs.folders.push_back("/srv/cache");
    f.CachPathBrows_Btn->click();
    QCOMPARE(f.CachPath_Edit->text(), QString("/srv/cache"));
    const std::string ini = readAll(fx.exeDir.path() + "/configs.ini");
    QVERIFY(ini.find("cachpath=/srv/cache") != std::string::npos);
    QVERIFY(ini.find("downloadsavepath=" + download.toStdString() + "\n") != std::string::npos);
    QCOMPARE(f.DownloadSavePath_Edit->text(), download);
  }

  void browseOpensAtTheFieldsFolderOrHome() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.DownloadSavePathBrows_Btn->click();
    QCOMPARE(fx.dialogs.folderStarts.back(), fx.exeDir.path() + "/download");
    // The cache folder chosen earlier is gone now: start at home instead.
    f.CachPath_Edit->setText(fx.exeDir.path() + "/gone");
    f.CachPathBrows_Btn->click();
    QCOMPARE(fx.dialogs.folderStarts.back(), QDir::homePath());
  }

  void browseKeepsALongFolderWhole() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QString folder = fx.exeDir.path();
    while (folder.size() < 352) folder += "/" + QString(40, 'd');
    QVERIFY(QDir().mkpath(folder));
    fx.dialogs.folders.push_back(folder);
    f.DownloadSavePathBrows_Btn->click();
    QCOMPARE(f.DownloadSavePath_Edit->text(), folder);
    QVERIFY(readAll(fx.exeDir.path() + "/configs.ini")
                .find("downloadsavepath=" + folder.toStdString() + "\n") != std::string::npos);
  }

  void aRefusedWriteIsReportedAndStartUpGoesOn() {
    FormFixture fx;
    // A folder where the settings file should be: every write is refused.
    QDir().mkpath(fx.exeDir.path() + "/configs.ini");
    TMainForm& f = fx.create();
    const QString expected = "Unable to write to " + fx.exeDir.path() + "/configs.ini";
    QVERIFY(!fx.dialogs.boxes().empty());
    QCOMPARE(fx.dialogs.boxes()[0].kind, ShownBox::Error);
    QCOMPARE(fx.dialogs.boxes()[0].text, expected);
    // The rest of creation ran.
    QCOMPARE(f.windowTitle(), QString("Tovarin - No Connect"));
    QVERIFY(fx.device.curProgress != nullptr);
    fx.dialogs.clear();
    f.DownloadSpeedLimit_Edit->setValue(77);
    f.DSL_BtnClick(f.DSLApply_Btn);
    QCOMPARE(fx.dialogs.texts(), QStringList{expected});
    QCOMPARE(fx.device.flowCtrl.back(), 77);
  }

  void chineseByDefaultThenEnglishFromTheConsole() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    QCOMPARE(f.LanguageBox_ComboBox->count(), 2);
    QCOMPARE(f.LanguageBox_ComboBox->currentText(), QString::fromUtf8("简体中文"));
    QCOMPARE(f.Login_SBtn->text(), QString::fromUtf8("登录"));
    QVERIFY(!f.ManuallyUpdateHelp_Memo->toPlainText().isEmpty());
    const int userLabelLeftZh = f.UserName_Label->x();
    QCOMPARE(f.UserName_Label->x() + f.UserName_Label->width() + 2, f.UserName_Edit->x());

    f.Command_Edit->setText("language:english");
    f.CheckCommand(f.Command_Edit);
    QCOMPARE(f.Login_SBtn->text(), QString("Login"));
    QCOMPARE(QString::fromStdString(fx.state.messages.textOf(MsgList::FWHints, 6)),
             QString("Device reboot!"));
    QCOMPARE(f.Pages_PageControl->pageCaption(f.FirmwareUpdate_Page), QString("FirmwareUpdate"));
    // The layout ran again for the new caption widths.
    QCOMPARE(f.UserName_Label->x() + f.UserName_Label->width() + 2, f.UserName_Edit->x());
    QVERIFY(f.UserName_Label->x() != userLabelLeftZh);
    QVERIFY(!f.LanguageChange_Btn->isEnabled());
    QVERIFY(readAll(fx.exeDir.path() + "/language/language.ext").find("language=English") !=
            std::string::npos);
    // Asking for the language in use changes nothing.
    f.Command_Edit->setText("language:english");
    f.CheckCommand(f.Command_Edit);
    QCOMPARE(f.Login_SBtn->text(), QString("Login"));
    // And back: the Chinese pack is found by its listed name.
    f.Command_Edit->setText("language:chinese");
    f.CheckCommand(f.Command_Edit);
    QCOMPARE(f.Login_SBtn->text(), QString::fromUtf8("登录"));
    QVERIFY(readAll(fx.exeDir.path() + "/language/language.ext").find("language=简体中文") !=
            std::string::npos);
  }

  void qtsOwnTextsAndEveryHintFollowThePack() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    auto yesText = [] {
      QMessageBox box(QMessageBox::NoIcon, "Asking", "?", QMessageBox::Yes | QMessageBox::No);
      return box.button(QMessageBox::Yes)->text();
    };
    auto openText = [] { return QCoreApplication::translate("QFileDialog", "&Open"); };
    // Chinese at start: Qt's boxes and dialogs too, and the hints of the
    // controls the pack's hint section cannot reach.
    QVERIFY2(yesText().contains(QString::fromUtf8("是")), qPrintable(yesText()));
    QVERIFY(openText() != "&Open");
    QCOMPARE(f.DevList_TreeView->toolTip(), QString::fromUtf8("双击设备即可填入登录信息"));
    QCOMPARE(f.DevListPanel_Panel->toolTip(), QString::fromUtf8("双击设备即可填入登录信息"));
    QCOMPARE(f.Patch2Send_LV->toolTip(), QString::fromUtf8("点击选择升级包文件"));
    QCOMPARE(f.PatchVersion_Edit->toolTip(), QString::fromUtf8("升级包版本"));

    f.Command_Edit->setText("language:english");
    f.CheckCommand(f.Command_Edit);
    QCOMPARE(yesText(), QString("&Yes"));
    QCOMPARE(openText(), QString("&Open"));
    QCOMPARE(f.DevList_TreeView->toolTip(), QString("DoubleClick to Add Device Info"));
    QCOMPARE(f.Patch2Send_LV->toolTip(), QString("PatchFileArea"));
  }

  void choosingALanguageInTheBoxOffersTheChange() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    f.LanguageChange_Btn->setEnabled(false);  // as after the last change
    // The operator picks the other entry with the keyboard.
    QTest::keyClick(f.LanguageBox_ComboBox,
                    f.LanguageBox_ComboBox->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
    QVERIFY(f.LanguageChange_Btn->isEnabled());
  }

  void packsApplyByComponentKindAndKeepEarlierTexts() {
    FormFixture fx;
    const QString lang = fx.exeDir.path() + "/language/";
    writeText(lang + "language.ext",
              "[CONFIGS]\nlanguage=A\n[LANGUAGELIST]\nlistcount=3\nindex0=A\nfile0=a.lng\n"
              "index2=B\nfile2=b.lng\n");
    writeText(lang + "a.lng",
              "[StringList]\nFWHints_strlist6=reboot A\nFWHints_strlist1=fail A\n"
              "FWTipLabel_strlist22=beyond\nDevSearch_strlist0=\n"
              "[Caption]\nTargetHarward_Label=HW A\nDevList_TreeView=not a caption kind\n"
              "Login_SBtn=Enter\n"
              "[HintsandText]\nIPAddress_Edit=10.0.0.1\nDevListPanel_Panel=hint A\n");
    writeText(lang + "b.lng",
              "[StringList]\nFWHints_strlist6=reboot B\nLoginButton_strlist0=\xff\xfe\n");
    TMainForm& f = fx.create();
    QCOMPARE(f.LanguageBox_ComboBox->count(), 2);
    QCOMPARE(QString::fromStdString(fx.state.messages.textOf(MsgList::FWHints, 6)),
             QString("reboot A"));
    QCOMPARE(fx.state.messages.countOf(MsgList::FWTipLabel), 22);
    QCOMPARE(QString::fromStdString(fx.state.messages.textOf(MsgList::DevSearch, 0)),
             QString("Search"));
    QCOMPARE(f.TargetHarward_Label->text(), QString("HW A"));
    QCOMPARE(f.Login_SBtn->text(), QString("Enter"));  // the caption wins over the list
    QCOMPARE(f.IPAddress_Edit->text(), QString("10.0.0.1"));
    QCOMPARE(f.DevListPanel_Panel->toolTip(), QString("hint A"));

    f.LanguageBox_ComboBox->setCurrentIndex(1);
    f.LanguageBox_ComboBoxChange();
    QVERIFY(f.LanguageChange_Btn->isEnabled());
    f.LanguageChange_BtnClick(f.LanguageChange_Btn);
    QCOMPARE(QString::fromStdString(fx.state.messages.textOf(MsgList::FWHints, 6)),
             QString("reboot B"));
    QCOMPARE(QString::fromStdString(fx.state.messages.textOf(MsgList::FWHints, 1)),
             QString("fail A"));
    // Invalid UTF-8 becomes an empty text, applied all the same.
    QCOMPARE(f.Login_SBtn->text(), QString());
    QCOMPARE(f.TargetHarward_Label->text(), QString("HW A"));
  }

  void aConfiguredNameThatMatchesNothingTakesTheFirstLanguage() {
    FormFixture fx;
    const QString lang = fx.exeDir.path() + "/language/";
    writeText(lang + "language.ext",
              "[CONFIGS]\nlanguage=Klingon\n[LANGUAGELIST]\nlistcount=2\nindex0=A\nfile0=a.lng\n"
              "index1=B\nfile1=b.lng\n");
    writeText(lang + "a.lng", "[Caption]\nTargetHarward_Label=HW A\n");
    TMainForm& f = fx.create();
    QCOMPARE(f.LanguageBox_ComboBox->currentIndex(), 0);
    QCOMPARE(f.TargetHarward_Label->text(), QString("HW A"));
    QVERIFY(readAll(lang + "language.ext").find("language=Klingon") != std::string::npos);
  }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
