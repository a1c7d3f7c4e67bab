#include "launcher/host/xll_start_win.h"

#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"

namespace {

// A workbook added only so that the host has a window to be found through; it goes
// again whatever RegisterXLL made of the add-in.
class TemporaryWorkbook {
 public:
  explicit TemporaryWorkbook(IDispatch* host) {
    if (CountHostWorkbooks(host) == 0) workbook_ = AddHostWorkbook(host);
  }
  ~TemporaryWorkbook() {
    if (!workbook_) return;
    try {
      CloseWorkbookUnsaved(workbook_.Get());
    } catch (const _com_error&) {
      // Gone with its host: the failed launch quits what is left.
    }
  }
  TemporaryWorkbook(const TemporaryWorkbook&) = delete;
  TemporaryWorkbook& operator=(const TemporaryWorkbook&) = delete;

 private:
  ComPtr<IDispatch> workbook_;
};

}  // namespace

XllLoad LoadAddInAsXll(IDispatch* host, const std::wstring& addInPath) {
  TemporaryWorkbook window(host);
  return RegisterHostXll(host, addInPath) ? XllLoad::kLoaded : XllLoad::kRefused;
}
