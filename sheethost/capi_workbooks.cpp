// Workbooks and sheets: opening and making them, sheet ids and names,
// activation, facts about documents, and calculation.
#include <algorithm>
#include <cctype>

#include "sheethost/capi_impl.h"
#include "sheethost/files.h"

namespace kovo::sheet {

int CApi::Impl::sheet_id(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  if (!a.given(0)) {
    sheet = app.active_sheet();
  } else {
    auto text = text_arg(a.at(0));
    if (!text) return xlretFailed;
    std::string book, name;
    split_sheet_text(*text, book, name);
    sheet = app.resolve_sheet(book, name);
  }
  if (!sheet) return xlretFailed;
  r = Oper::reference(sheet->id(), {});
  return xlretSuccess;
}

int CApi::Impl::sheet_name(const Args& a, Oper& r) {
  Sheet* sheet = sheet_of(a.at(0));
  if (!sheet) return xlretFailed;
  r = Oper::text(Application::full_name(*sheet));
  return xlretSuccess;
}

// The sheet or workbook named by a GET.DOCUMENT/GET.WORKBOOK text.
Sheet* CApi::Impl::document_sheet(const Oper& name, Workbook*& book) {
  book = app.active_book();
  if (name.type == OperType::Missing || name.type == OperType::Nil) return app.active_sheet();
  auto text = text_arg(name);
  if (!text) return nullptr;
  if (Workbook* b = app.find_book(*text)) {
    book = b;
    return &b->active_sheet();
  }
  std::string book_name, sheet_name;
  split_sheet_text(*text, book_name, sheet_name);
  Sheet* sheet = app.resolve_sheet(book_name, sheet_name);
  if (sheet) book = &sheet->book();
  return sheet;
}

int CApi::Impl::get_document(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
  Workbook* book = nullptr;
  Sheet* sheet = document_sheet(a.at(1), book);
  if (!sheet || !book) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  const auto used = sheet->used_range();
  switch (type) {
    case 1: r = Oper::text(Application::full_name(*sheet)); break;
    case 2: {
      const std::string& path = book->path();
      const auto slash = path.find_last_of("/\\");
      if (path.empty()) r = Oper::error(xlerrNA);
      else r = Oper::text(slash == std::string::npos ? std::string() : path.substr(0, slash));
      break;
    }
    case 3: r = Oper::number(1); break;
    case 4: r = Oper::logical(book->changed); break;
    case 5: case 6: r = Oper::logical(false); break;
    case 7: r = Oper::logical(sheet->protected_contents); break;
    case 9: r = Oper::number(used ? used->row1 + 1 : 0); break;
    case 10: r = Oper::number(used ? used->row2 + 1 : 0); break;
    case 11: r = Oper::number(used ? used->col1 + 1 : 0); break;
    case 12: r = Oper::number(used ? used->col2 + 1 : 0); break;
    case 13: r = Oper::number(1); break;
    case 14: r = Oper::number(static_cast<int>(app.calc_mode)); break;
    case 15: case 19: r = Oper::logical(false); break;
    case 16: r = Oper::number(100); break;
    case 17: r = Oper::number(0.001); break;
    case 18: r = Oper::logical(true); break;
    case 20: r = Oper::logical(false); break;
    case 76: r = Oper::text(Application::full_name(book->active_sheet())); break;
    case 87: r = Oper::number(book->sheet_index(sheet) + 1); break;
    case 88: r = Oper::text(book->name()); break;
    default: r = Oper::error(xlerrValue); break;
  }
  return xlretSuccess;
}

int CApi::Impl::get_workbook(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
  Workbook* book = app.active_book();
  if (a.given(1)) {
    auto text = text_arg(a.at(1));
    book = text ? app.find_book(*text) : nullptr;
  }
  if (!book) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  switch (type) {
    case 1: {
      r.type = OperType::Multi;
      r.rows = 1;
      r.cols = static_cast<int>(book->sheets().size());
      for (const auto& s : book->sheets()) r.items.push_back(Oper::text(Application::full_name(*s)));
      break;
    }
    case 3: {
      r.type = OperType::Multi;
      r.rows = r.cols = 1;
      r.items.push_back(Oper::text(Application::full_name(book->active_sheet())));
      break;
    }
    case 4: r = Oper::number(static_cast<double>(book->sheets().size())); break;
    case 38: r = Oper::text(Application::full_name(book->active_sheet())); break;
    default: r = Oper::error(xlerrValue); break;
  }
  return xlretSuccess;
}

// The one way a document is opened, by the C API's OPEN and by the host's
// own command line alike.
std::optional<std::string> CApi::Impl::open_document(const std::string& path) {
  switch (file_kind(path)) {
    case FileKind::Toolbars: {
      std::string text;
      if (auto error = read_text_file(path, text)) return error;
      if (auto error = toolbars.load(text)) return path + ": " + *error;
      return std::nullopt;
    }
    case FileKind::Addin: {
      std::string error = path + ": the add-in cannot be opened";
      if (!addins || !addins->open_addin(path, error)) return error;
      return std::nullopt;
    }
    case FileKind::Workbook:
    case FileKind::Xlsx:
      for (const auto& b : app.books())
        if (!b->path().empty() && same_text_no_case(b->path(), path)) {
          app.activate(*b);
          return std::nullopt;
        }
      break;
    default: break;
  }
  LoadResult loaded = load_document(app, path);
  if (!loaded.book) return loaded.error;
  // A CSV sheet holds no values of its formulas, nor does an Excel workbook
  // written by a program that does not calculate.
  const bool calculate = file_kind(path) == FileKind::Csv || loaded.calculate;
  app.open(std::move(loaded.book));
  if (calculate) app.calculator().recalculate();
  if (!loaded.warning.empty()) {
    services.report(loaded.warning);
    trace("  " + loaded.warning);
  }
  return std::nullopt;
}

int CApi::Impl::open(const Args& a, Oper& r) {
  auto path = text_arg(a.at(0));
  if (!path || path->empty()) return xlretFailed;
  if (auto error = open_document(*path)) {
    services.report(*error);
    trace("  " + *error);
    return xlretFailed;
  }
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::new_document(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(1));
  if (type == 2) return xlretFailed;  // charts are not offered
  app.new_workbook();
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::workbook_new(const Args&, Oper& r) {
  Workbook* book = app.active_book();
  if (!book) {
    app.new_workbook();
  } else {
    Sheet& sheet = book->add_sheet(book->free_sheet_name(), book->sheet_index(&book->active_sheet()));
    book->activate(sheet);
    book->changed = true;
  }
  r = Oper::logical(true);
  return xlretSuccess;
}

bool CApi::Impl::activate_named(const std::string& text) {
  std::string name = text;
  if (const auto colon = name.find_last_of(':'); colon != std::string::npos && colon + 1 < name.size() &&
                                                 std::all_of(name.begin() + static_cast<std::ptrdiff_t>(colon) + 1, name.end(), ::isdigit))
    name = name.substr(0, colon);
  if (Workbook* b = app.find_book(name)) {
    app.activate(*b);
    return true;
  }
  std::string book, sheet_name;
  split_sheet_text(name, book, sheet_name);
  Sheet* sheet = app.resolve_sheet(book, sheet_name);
  if (!sheet) return false;
  app.activate(sheet->book());
  sheet->book().activate(*sheet);
  return true;
}

int CApi::Impl::workbook_activate(const Args& a, Oper& r) {
  std::optional<std::string> name;
  if (a.at(0).type == OperType::Multi && !a.at(0).items.empty()) name = text_arg(a.at(0).items[0]);
  else name = text_arg(a.at(0));
  if (!name || !activate_named(*name)) return xlretFailed;
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::activate(const Args& a, Oper& r) {
  if (!a.given(0)) {
    r = Oper::logical(true);
    return xlretSuccess;
  }
  auto name = text_arg(a.at(0));
  if (!name || !activate_named(*name)) return xlretFailed;
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::calculation(const Args& a, Oper& r) {
  const double type = number_arg(a.at(0)).value_or(static_cast<double>(app.calc_mode));
  if (type != 1 && type != 2 && type != 3) return xlretFailed;
  app.calc_mode = static_cast<CalcMode>(static_cast<int>(type));
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::calculate_now(const Args&, Oper& r) {
  app.calculator().recalculate();
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::calculate_document(const Args&, Oper& r) {
  app.calculator().recalculate(app.active_sheet());
  r = Oper::logical(true);
  return xlretSuccess;
}

}  // namespace kovo::sheet
