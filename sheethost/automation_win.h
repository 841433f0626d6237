// The host's automation object: the application as an IDispatch object in
// the running-object table, under the class id of "Excel.Application",
// while the host runs. It offers what add-ins read through automation:
//
//   Application.ExecuteExcel4Macro("CALL(""file"",""procedure"",""type"")")
//   Application.Workbooks.Item(name or number).Worksheets.Item(name or number)
//       .Range(address).Value
//   Workbooks.Count, Worksheets.Count, Workbook.Name, Worksheet.Name
//
// The registry is left alone: the object is found by its class id, which
// the program id names where the spreadsheet itself is installed.
#pragma once

#include <memory>

#include "sheethost/capi.h"

namespace kovo::sheet {

class XllHost;

class AutomationServer {
 public:
  // Registers the application object (COM must be started on this thread).
  AutomationServer(CApi& api, XllHost& addins);
  // Revokes the registration and cuts off every client still holding one
  // of the objects: their calls fail from then on.
  ~AutomationServer();
  AutomationServer(const AutomationServer&) = delete;
  AutomationServer& operator=(const AutomationServer&) = delete;

  bool registered() const { return cookie_ != 0; }

  struct Context;

 private:
  std::shared_ptr<Context> context_;
  void* application_ = nullptr;  // the Application object (IDispatch*)
  unsigned long cookie_ = 0;
};

}  // namespace kovo::sheet
