// The firmware page's patch area and the help memos beside the update
// buttons.
#include <QEnterEvent>
#include <QtTest>

#include "firmware/firmware_window.h"
#include "firmware_fixture.h"
#include "patchformat.h"

class FirmwarePatchAreaTest : public QObject {
  Q_OBJECT
 private slots:
  void clickOnTheAreaChoosesOnePatch() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FirmwareUpdate_Btn->setEnabled(false);               // as a pending update leaves it
    showFirmwareTip(f, "Patch not Match, Please Check!");  // a refused patch before
    QCOMPARE(f.FirmwareWpdateTip_Label->property("tone").toString(), QString("failure"));
    const QString path = fx.writeFile("cam_2011.patch");
    fx.dialogs.files.push_back(path);
    QTest::mouseClick(f.Patch2Send_LV->viewport(), Qt::LeftButton, {}, QPoint(10, 10));

    QCOMPARE(fx.dialogs.fileFilters, QStringList{"PatchFile(*.patch)|*.patch"});
    QCOMPARE(fx.dialogs.fileInitialFolders, QStringList{QString()});
    QCOMPARE(f.Patch2Send_LV->count(), 1);
    QListWidgetItem* item = f.Patch2Send_LV->item(0);
    QCOMPARE(item->text(), QString("cam_2011.patch"));
    QCOMPARE(listitem::subItem(item), path);
    QCOMPARE(listitem::imageIndex(item), 2);
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Ready to Update!"));
    QVERIFY(fx.dialogs.boxes().empty());
    // The area's tooltip names the whole path; the caption is the file name.
    QCOMPARE(f.Patch2Send_LV->toolTip(), path);
    // "Ready" is a hint again, in the page's own colour.
    QCOMPARE(f.FirmwareWpdateTip_Label->property("tone").toString(), QString());
  }

  void aPatchForOtherHardwareIsSaidWhenChosen() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.TargetHarward_Val->setText("47RKT");  // as a login leaves it
    f.Login_SBtn->setText("ChangeDev");
    auto choose = [&](const QString& name, const std::string& hardware) {
      const QString path = fx.dir.filePath(name);
      std::string error;
      QVERIFY2(
          patchformat::writePatch(path.toStdString(), hardware, 2011,
                                  {patchformat::PayloadFile::fromBytes("app.bin", "x")},
                                  patchformat::buildInstallScript("2010", {"app.bin"}), &error),
          error.c_str());
      fx.dialogs.files.push_back(path);
      f.Patch2Send_LVClick();
    };
    const auto tone = [&] { return f.FirmwareWpdateTip_Label->property("tone").toString(); };
    choose("52HQX_3002.patch", "52HQX");
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Patch not Match, Please Check!"));
    QCOMPARE(tone(), QString("failure"));
    choose("47RKT_2011.patch", "47RKT");
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Ready to Update!"));
    QCOMPARE(tone(), QString());
    // A file that is no patch at all is left to the device to judge.
    fx.choosePatch("notes.patch");
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Ready to Update!"));
  }

  void aSecondChoiceReplacesTheFirstWhateverItsExtension() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.choosePatch("first.patch");
    const QString other = fx.writeFile("second.bin");
    fx.dialogs.files.push_back(other);
    f.Patch2Send_LVClick();
    QCOMPARE(f.Patch2Send_LV->count(), 1);
    QCOMPARE(f.Patch2Send_LV->item(0)->text(), QString("second.bin"));
    QCOMPARE(listitem::subItem(f.Patch2Send_LV->item(0)), other);
  }

  void cancellingTheDialogChangesNothing() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    // Empty area: tip and button keep whatever they showed.
    f.FirmwareUpdate_Btn->setEnabled(false);
    const QString tip = f.FirmwareWpdateTip_Label->text();
    f.Patch2Send_LVClick();
    QCOMPARE(f.Patch2Send_LV->count(), 0);
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), tip);
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    // A patch in the area stays.
    const QString path = fx.choosePatch("kept.patch");
    f.FirmwareWpdateTip_Label->setText("something else");
    f.Patch2Send_LVClick();
    QCOMPARE(f.Patch2Send_LV->count(), 1);
    QCOMPARE(listitem::subItem(f.Patch2Send_LV->item(0)), path);
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("something else"));
  }

  void helpMemoUnfoldsAndFoldsInTenSteps() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const QRect button = f.FirmwareUpdate_Btn->geometry();
    f.FUPageBevel1_Bevel->move(button.x() + button.width() + 247, f.FUPageBevel1_Bevel->y());
    QPlainTextEdit* memo = f.ManuallyUpdateHelp_Memo;
    std::vector<int> widths;
    fx.sleeper.onSleep = [&] {
      QVERIFY(!memo->isHidden());
      widths.push_back(memo->width());
    };

    f.FU_BtnMouseEnter(f.FirmwareUpdate_Btn);
    QCOMPARE(widths, (std::vector<int>{22, 44, 66, 88, 110, 132, 154, 176, 198, 220}));
    QCOMPARE(memo->width(), 247);
    QCOMPARE(memo->height(), 150);
    QVERIFY(!memo->isHidden());
    QVERIFY(f.AutoUpdateHelp_Memo->isHidden());
    // Shown above its neighbours on the page.
    QCOMPARE(f.FirmwareUpdate_Page->children().last(), static_cast<QObject*>(memo));

    widths.clear();
    f.FU_BtnMouseLeave(f.FirmwareUpdate_Btn);
    QCOMPARE(widths, (std::vector<int>{220, 198, 176, 154, 132, 110, 88, 66, 44, 22}));
    QVERIFY(memo->isHidden());
    QCOMPARE(fx.sleeper.sleeps, std::vector<int>(20, 20));
  }

  void bothMemosTakeTheSameWidth() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const QRect button = f.FirmwareUpdate_Btn->geometry();
    const int w = f.FUPageBevel1_Bevel->x() - (button.x() + button.width());
    QVERIFY(w > 0);
    f.FU_BtnMouseEnter(f.CheckForUpdate_Btn);
    QCOMPARE(f.AutoUpdateHelp_Memo->width(), w);
    QVERIFY(!f.AutoUpdateHelp_Memo->isHidden());
    QVERIFY(f.ManuallyUpdateHelp_Memo->isHidden());
    // The automatic memo starts at the right of its own button.
    QCOMPARE(f.AutoUpdateHelp_Memo->x(), f.CheckForUpdate_Btn->geometry().right() + 1);
  }

  void otherSendersUnfoldNothing() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FU_BtnMouseEnter(f.DeviceReboot_Btn);
    f.FU_BtnMouseLeave(f.DeviceReboot_Btn);
    QVERIFY(fx.sleeper.sleeps.empty());
    QVERIFY(f.ManuallyUpdateHelp_Memo->isHidden());
    QVERIFY(f.AutoUpdateHelp_Memo->isHidden());
  }

  void pointerEventsOnTheButtonsDriveTheMemos() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(f.CheckForUpdate_Btn, &enter);
    QVERIFY(!f.AutoUpdateHelp_Memo->isHidden());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(f.CheckForUpdate_Btn, &leave);
    QVERIFY(f.AutoUpdateHelp_Memo->isHidden());
    QCOMPARE(fx.sleeper.sleeps.size(), std::size_t(20));
  }
};

QTEST_MAIN(FirmwarePatchAreaTest)
#include "firmware_patch_area_test.moc"
