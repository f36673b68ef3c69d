// Device discovery: a detached worker runs the blocking UDP search; the
// window fills the device tree when the worker's notice arrives.
#include "session/discovery.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "devicelink/device_link.h"
#include "settings/message_lists.h"

namespace {
std::atomic<DeviceSearchRecord*> g_searchResult{nullptr};
std::atomic<int> g_searchWorkers{0};

static_assert(offsetof(DeviceSearchRecord, address) == 128);
static_assert(offsetof(DeviceSearchRecord, identifier) == 248);
static_assert(offsetof(DeviceSearchRecord, next) == LORVEX_RECORD_DATA_SIZE);
}  // namespace

DeviceSearchRecord* searchResult() { return g_searchResult.load(); }
bool deviceSearchRunning() { return g_searchWorkers.load() > 0; }

QString recordField(const char* field, std::size_t width) {
  const void* zero = std::memchr(field, 0, width);
  const std::size_t length = zero ? static_cast<const char*>(zero) - field : width;
  return QString::fromUtf8(field, static_cast<qsizetype>(length));
}

QString deviceNodeText(const DeviceSearchRecord& record) {
  return "QJ" + recordField(record.identifier, sizeof record.identifier);
}

QString ChosenDevice::address() const {
  return recordField(data.data() + offsetof(DeviceSearchRecord, address), 32);
}

QString ChosenDevice::identifier() const {
  return recordField(data.data() + offsetof(DeviceSearchRecord, identifier), 128);
}

ChosenDevice& chosenDevice() {
  static ChosenDevice chosen;
  return chosen;
}

bool chooseDeviceAt(int position, const QString& nodeText) {
  if (position < 0) return false;
  DeviceSearchRecord* r = g_searchResult.load();
  for (int i = 0; r && i < position; ++i) r = r->next;
  if (!r || deviceNodeText(*r) != nodeText) return false;
  ChosenDevice& chosen = chosenDevice();
  chosen.data.fill(0);
  std::memcpy(chosen.data.data(), r, LORVEX_RECORD_DATA_SIZE);
  return true;
}

void TMainForm::DevSearch_BtnClick() {
  TMainForm* form = this;
  IDeviceLink* link = &device();
  ++g_searchWorkers;
  std::thread([form, link] {
    // One search at a time: the library frees the previous search's records
    // when the next search starts, so a search waits until the one before it
    // has been listed.
    static std::mutex serial;
    std::lock_guard oneAtATime(serial);
    // Each window change runs on the window's thread, in order; the guard
    // skips it if the window has gone meanwhile.
    auto onWindow = [form](auto change) {
      runOnUiThread([&] {
        if (MainForm == form) change();
      });
    };
    onWindow([form] {
      form->DevSearch_Btn->setEnabled(false);
      form->DevSearch_Btn->setText(
          QString::fromStdString(messageLists().textOf(MsgList::DevSearch, 1)));
    });
    onWindow([form] { form->DevList_TreeView->clear(); });
    // Forgotten on the window's thread, before the library frees the records.
    runOnUiThread([] { g_searchResult = nullptr; });
    DeviceSearchRecord* found = link->UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
    runOnUiThread([found] { g_searchResult = found; });
    onWindow([form] { form->DevSearchMessageEdit_Edit->setText("search finished!"); });
    // The last word is the window thread's, so nothing here runs once the
    // program has seen the search end.
    runOnUiThread([] { --g_searchWorkers; });
  }).detach();
}

void TMainForm::FillDeviceList() {
  // The nodes are made apart from the tree and handed over in one call, so
  // that the tree hears of one insertion, not of one per device.
  QList<QTreeWidgetItem*> nodes;
  for (DeviceSearchRecord* r = g_searchResult.load(); r; r = r->next) {
    auto* node = new QTreeWidgetItem(QStringList{deviceNodeText(*r)});
    if (!PanelImages_ImageList.isEmpty()) node->setIcon(0, PanelImages_ImageList[0]);
    nodes.append(node);
  }
  DevList_TreeView->addTopLevelItems(nodes);
  DevSearch_Btn->setEnabled(true);
  DevSearch_Btn->setText(QString::fromStdString(messageLists().textOf(MsgList::DevSearch, 0)));
}

void TMainForm::DevList_TreeViewDblClick() {
  QTreeWidgetItem* node = DevList_TreeView->currentItem();
  if (!node || !node->isSelected()) return;
  if (!chooseDeviceAt(DevList_TreeView->indexOfTopLevelItem(node), node->text(0))) return;
  DeviceID_Edit->setText(chosenDevice().identifier());
  IPAddress_Edit->setText(chosenDevice().address());
}
