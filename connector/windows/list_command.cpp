#include "windows/list_command.h"

#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "windows/list_text.h"

namespace kovo::lists {
namespace {

struct ListState {
  SegmentValueCache cache;
  ListTransfer transfer;
};

ListState& state() {
  static ListState instance;
  return instance;
}

std::string failure_text() {
  std::string text(pending_message());
  clear_message();
  return text.empty() ? std::string(kListDone) : text;
}

}  // namespace

SegmentValueCache& value_cache() { return state().cache; }

std::string list_result_text() {
  const Settings& s = settings();
  ListState& st = state();
  if (is_reset_request(s.list)) {
    release_lists();
    return std::string(kListDone);
  }
  if (s.more_data == 0) {
    st.transfer.release();
    BuiltList built = build_list(s.list, ListForm::Result, st.cache);
    if (built.status == BuildStatus::Failed) return failure_text();
    if (built.status != BuildStatus::Built) return std::string(kListDone);
    st.transfer.start(std::move(built.list));
  }
  return st.transfer.next_chunk();
}

ClipboardList clipboard_list(std::string_view request, const windows::RowCheck& row) {
  BuiltList built = build_list(request, ListForm::Clipboard, state().cache, row);
  ClipboardList out;
  out.status = built.status;
  if (built.status == BuildStatus::Built) out.text = clipboard_text(built.list, settings().list_transpose != 0);
  return out;
}

void release_lists() {
  state().cache.release();
  state().transfer.release();
}

void install_lists() { on_cleanup(CleanupStage::kLists, release_lists); }

}  // namespace kovo::lists
