// The memory behind each request's answer, given back once the answer is on
// its way, under Wine.
//
// Wine's DDEML answers a request with two moveable memory blocks that
// nothing ever frees: the data handle the callback returned (copied, then
// left alone) and the copy it posts to the client in WM_DDE_DATA (the
// message's data travels to the other process, the block stays behind). A
// process has room for 65,536 moveable blocks, so a server that had answered
// 32,768 requests answered no more (every later request failed with
// DMLERR_NOTPROCESSED), and its memory grew with every answer. (Making the
// data handle HDATA_APPOWNED is no way out: the copy then goes without
// fRelease, and the client keeps its copy for ever instead.)
//
// So once the answer has gone, the server frees both itself: the data handle
// it made, and the posted copy, found as the block the library allocates
// first after the callback returns (Wine hands out the handle of the
// moveable block freed last first, so a block taken and given back just
// before the callback returns names the copy). Each is freed only when it
// holds exactly this answer as the library lays it out, only under Wine
// (where the library frees neither; on Windows it frees both), and only for
// a client in another process (one in this process reads the block itself).
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "ddeclient/dde_client_win.h"
#include "server/server_win.h"

namespace kovo::server {
namespace {

// The header of a data handle (the clipboard format and whether the
// application owns it) and the one DDEML puts before the data it posts in
// WM_DDE_DATA (the DDEDATA flags word and the clipboard format).
struct HandleHeader {
  unsigned short format;
  unsigned short app_owned;
};
struct PostedHeader {
  unsigned short flags;
  short format;
};
constexpr unsigned short kResponseFlag = 0x1000;  // fResponse: answers a request
constexpr unsigned short kReleaseFlag = 0x2000;   // fRelease: the client frees it (never set here)

struct SentAnswer {
  HDDEDATA data = nullptr;
  HGLOBAL posted = nullptr;  // the copy it is expected in
  UINT format = CF_TEXT;
  std::string text;
};

std::vector<SentAnswer>& sent_answers() {
  static std::vector<SentAnswer> answers;
  return answers;
}

bool partner_in_other_process(HCONV conversation) {
  CONVINFO info{};
  info.cb = sizeof info;
  if (!DdeQueryConvInfo(conversation, QID_SYNC, &info) || !info.hwndPartner) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(info.hwndPartner, &process);
  return process != 0 && process != GetCurrentProcessId();
}

// The handle the next moveable block will get.
HGLOBAL next_moveable_handle() {
  HGLOBAL probe = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 1);
  if (probe) GlobalFree(probe);
  return probe;
}

// Whether a block holds a header and then exactly the answer's text.
template <typename Header, typename Check>
bool holds_answer(HGLOBAL block, const SentAnswer& answer, Check header_fits) {
  const SIZE_T expected = sizeof(Header) + answer.text.size() + 1;
  if (!block || GlobalSize(block) != expected) return false;
  const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
  if (!bytes) return false;
  Header header{};
  std::memcpy(&header, bytes, sizeof header);
  const bool same =
      header_fits(header) && std::memcmp(bytes + sizeof header, answer.text.c_str(), answer.text.size() + 1) == 0;
  GlobalUnlock(block);
  return same;
}

void release(const SentAnswer& answer) {
  const auto format = static_cast<unsigned short>(answer.format);
  const HGLOBAL data = reinterpret_cast<HGLOBAL>(answer.data);
  if (holds_answer<HandleHeader>(data, answer,
                                 [&](const HandleHeader& h) { return h.format == format && h.app_owned == 0; }))
    GlobalFree(data);
  if (holds_answer<PostedHeader>(answer.posted, answer, [&](const PostedHeader& h) {
        return (h.flags & (kResponseFlag | kReleaseFlag)) == kResponseFlag && static_cast<unsigned short>(h.format) == format;
      }))
    GlobalFree(answer.posted);
}

}  // namespace

HDDEDATA answer_handle(HCONV conversation, HSZ item, UINT format, const std::string& text) {
  ServerApp& a = app();
  const UINT answer_format = format ? format : CF_TEXT;
  std::string bytes = text;
  HDDEDATA data = DdeCreateDataHandle(a.dde_instance, reinterpret_cast<LPBYTE>(bytes.data()),
                                      static_cast<DWORD>(bytes.size() + 1), 0, item, answer_format, 0);
  if (!data || !dde::running_under_wine() || !partner_in_other_process(conversation)) return data;
  sent_answers().push_back({data, next_moveable_handle(), answer_format, std::move(bytes)});
  // Handled once the library has posted the answer, which it does as soon as
  // the callback returns.
  if (a.main_window) PostMessageA(a.main_window, kReleaseAnswersMessage, 0, 0);
  return data;
}

void release_answers() {
  for (const SentAnswer& answer : sent_answers()) release(answer);
  sent_answers().clear();
}

}  // namespace kovo::server
