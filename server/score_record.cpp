// Parsing, validation and formatting of the game's score record: each field
// is checked against the exact form the game writes it in.
#include "score_record.h"

#include <cstdio>
#include <limits>
#include <vector>

namespace scores {
namespace {

// Splits at the separator; every field must end with one, the last included.
bool SplitFields(const std::string& text, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); i++) {
    if (text[i] != FieldSeparator) continue;
    fields.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return start == text.size();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly `width` digits, as "%04d" writes a number of 0..9999.
bool ParseFixedDigits(const std::string& field, std::size_t width, int& value) {
  if (field.size() != width) return false;
  value = 0;
  for (char c : field) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// A non-negative int as "%d" writes it: no sign, no leading zero.
bool ParseScore(const std::string& field, int& value) {
  if (field.empty() || field.size() > MaxScoreDigits) return false;
  if (field.size() > 1 && field[0] == '0') return false;
  long long v = 0;
  for (char c : field) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  if (v > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(v);
  return true;
}

bool ValidUserId(const std::string& id) {
  if (id.empty() || id.size() > MaxUserIdLength) return false;
  bool letter = false;
  for (char c : id) {
    if (c >= 'A' && c <= 'Z') letter = true;
    else if (c != ' ') return false;
  }
  return letter;
}

bool ValidName(const std::string& name) {
  if (name.size() != NameLength) return false;
  bool symbol = false;
  for (char c : name) {
    if (!IsNameSymbol(c)) return false;
    if (c != ' ') symbol = true;
  }
  return symbol;
}

}  // namespace

bool IsNameSymbol(char c) {
  return c == ' ' || c == '-' || IsDigit(c) || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

bool ParseScoreRecord(const std::string& text, ScoreRecord& record, std::string& error) {
  std::vector<std::string> fields;
  if (text.size() > MaxRecordLength) {
    error = "record too long";
    return false;
  }
  if (!SplitFields(text, fields) || fields.size() != static_cast<std::size_t>(RecordFields)) {
    error = "malformed record";
    return false;
  }
  if (fields[RecordFields - 1] != RecordTag) {
    error = "wrong tag";
    return false;
  }
  if (!ValidUserId(fields[0])) {
    error = "bad user id";
    return false;
  }
  if (!ValidName(fields[1])) {
    error = "bad name";
    return false;
  }
  if (!ParseFixedDigits(fields[2], FourDigitField, record.game)) {
    error = "bad game number";
    return false;
  }
  if (!ParseFixedDigits(fields[3], FourDigitField, record.version)) {
    error = "bad version";
    return false;
  }
  if (!ParseFixedDigits(fields[4], FourDigitField, record.reason)) {
    error = "bad reason";
    return false;
  }
  for (int b = 0; b < BoardCount; b++) {
    const std::size_t f = RecordHeaderFields + 2 * b;
    if (!ParseScore(fields[f], record.boards[b].best) ||
        !ParseScore(fields[f + 1], record.boards[b].last)) {
      error = "bad score";
      return false;
    }
  }
  record.userId = fields[0];
  record.name = fields[1];
  return true;
}

std::string FormatScoreRecord(const ScoreRecord& record) {
  char number[64];
  std::string text = record.userId + FieldSeparator + record.name + FieldSeparator;
  std::snprintf(number, sizeof number, "%04d{%04d{%04d{", record.game, record.version,
                record.reason);
  text += number;
  for (const BoardScores& board : record.boards) {
    std::snprintf(number, sizeof number, "%d{%d{", board.best, board.last);
    text += number;
  }
  return text + RecordTag + FieldSeparator;
}

}  // namespace scores
