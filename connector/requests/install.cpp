#include "requests/install.h"

#include "entry/dispatch.h"
#include "requests/data_requests.h"
#include "requests/gl_request.h"
#include "requests/tran_requests.h"

namespace kovo::requests {

void install_requests() {
  register_value_handler(100, [](int, std::string_view a, std::string& r) { return gl_request(a, r, false); });
  register_value_handler(102, [](int, std::string_view a, std::string& r) { return gl_request(a, r, true); });
  register_value_handler(103, [](int, std::string_view a, std::string& r) { return desc_request(a, r); });
  register_value_handler(104, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::General, a, r); });
  register_value_handler(105, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::Grant, a, r); });
  register_value_handler(106, [](int, std::string_view a, std::string& r) { return tran_request(TranKind::JobCost, a, r); });
  register_value_handler(114, [](int, std::string_view a, std::string& r) { return sdesc_request(a, r); });
  register_value_handler(115, [](int, std::string_view a, std::string& r) { return codata_request(a, r); });
  register_value_handler(116, [](int, std::string_view a, std::string& r) { return acctdata_request(a, r); });
}

}  // namespace kovo::requests
