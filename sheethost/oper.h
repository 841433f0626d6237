// Values as they cross the C API, independent of the XLOPER or XLOPER12
// layout: what the host's calls take and answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sheethost/address.h"

namespace kovo::sheet {

enum class OperType : std::uint8_t { Num, Str, Bool, Err, Int, Ref, SRef, Multi, Missing, Nil, Flow, BigData };

struct Oper {
  OperType type = OperType::Missing;
  double num = 0;
  std::string str;  // UTF-8
  bool boolean = false;
  int err = 0;
  int w = 0;                   // Int
  std::uint64_t sheet_id = 0;  // Ref
  std::vector<Area> areas;     // Ref (any number), SRef (one)
  int rows = 0, cols = 0;      // Multi
  std::vector<Oper> items;     // Multi, row by row

  static Oper number(double n) {
    Oper o;
    o.type = OperType::Num;
    o.num = n;
    return o;
  }
  static Oper text(std::string s) {
    Oper o;
    o.type = OperType::Str;
    o.str = std::move(s);
    return o;
  }
  static Oper logical(bool b) {
    Oper o;
    o.type = OperType::Bool;
    o.boolean = b;
    return o;
  }
  static Oper error(int code) {
    Oper o;
    o.type = OperType::Err;
    o.err = code;
    return o;
  }
  static Oper integer(int n) {
    Oper o;
    o.type = OperType::Int;
    o.w = n;
    return o;
  }
  static Oper nil() {
    Oper o;
    o.type = OperType::Nil;
    return o;
  }
  static Oper missing() { return Oper{}; }
  static Oper reference(std::uint64_t sheet, std::vector<Area> areas) {
    Oper o;
    o.type = OperType::Ref;
    o.sheet_id = sheet;
    o.areas = std::move(areas);
    return o;
  }
  static Oper single_reference(const Area& a) {
    Oper o;
    o.type = OperType::SRef;
    o.areas = {a};
    return o;
  }
  bool is_missing() const { return type == OperType::Missing; }
  bool is_reference() const { return type == OperType::Ref || type == OperType::SRef; }
};

}  // namespace kovo::sheet
