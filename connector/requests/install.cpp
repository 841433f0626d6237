#include "requests/install.h"

#include "entry/command_codes.h"
#include "entry/dispatch.h"
#include "requests/data_requests.h"
#include "requests/gl_request.h"
#include "requests/preload.h"
#include "requests/tran_requests.h"
#include "requests/wgl_request.h"

namespace kovo::requests {

void install_requests() {
  register_value_handler(codes::kGl, [](int, std::string_view a, std::string& r) { return gl_request(a, r, false); });
  register_value_handler(codes::kNgl, [](int, std::string_view a, std::string& r) { return gl_request(a, r, true); });
  register_value_handler(codes::kDesc, [](int, std::string_view a, std::string& r) { return desc_request(a, r); });
  register_value_handler(codes::kGlTran, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::General, a, r); });
  register_value_handler(codes::kGtTran, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::Grant, a, r); });
  register_value_handler(codes::kJcTran, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::JobCost, a, r); });
  register_value_handler(codes::kSdesc, [](int, std::string_view a, std::string& r) { return sdesc_request(a, r); });
  register_value_handler(codes::kCodata, [](int, std::string_view a, std::string& r) { return codata_request(a, r); });
  register_value_handler(codes::kAcctData, [](int, std::string_view a, std::string& r) { return acctdata_request(a, r); });
  register_value_handler(codes::kWgl, [](int, std::string_view a, std::string& r) { return wgl_request(a, r); });
  install_preload();
}

}  // namespace kovo::requests
