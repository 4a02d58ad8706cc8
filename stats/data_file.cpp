#include "stats/data_file.h"

namespace nevlora {

void AppendJsonString(std::string* out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '/': out->append("\\/"); break;
      case '\b': out->append("\\b"); break;
      case '\t': out->append("\\t"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      default:
        if (c < 32) {
          out->append("\\u00");
          out->push_back(kHex[c >> 4]);
          out->push_back(kHex[c & 15]);
        } else {
          out->push_back(ch);
        }
    }
  }
  out->push_back('"');
}

std::string SeriesJson(const CounterRows& rows) {
  if (rows.empty()) return "[ ]";
  std::string out = "[";
  const std::string* label = nullptr;
  for (const CounterRow& row : rows) {
    if (!label || *label != row.key2) {
      if (label) {
        out.append(" ], \"label\": ");
        AppendJsonString(&out, *label);
        out.append(" },");
      }
      out.append(" { \"data\": [");
      label = &row.key2;
    } else {
      out.push_back(',');
    }
    out.append(" [ ");
    out.append(std::to_string(row.ts));
    out.append(", ");
    out.append(std::to_string(row.count));
    out.append(" ]");
  }
  out.append(" ], \"label\": ");
  AppendJsonString(&out, *label);
  out.append(" } ]");
  return out;
}

std::string DataLine(std::string_view name, const CounterRows& rows) {
  std::string line(name);
  line.append(" = ");
  line.append(SeriesJson(rows));
  line.append(";\r\n");
  return line;
}

std::string BuildDataFile(CStatsStorage& store) {
  struct Line {
    const char* name;
    const char* key1;
    const char* kind;
    bool top;
  };
  static const Line kLines[] = {
      {"r_hourly_all", "r", "h", false},  {"r_hourly_top", "r", "h", true},  {"r_daily_all", "r", "d", false},
      {"r_daily_top", "r", "d", true},    {"r_monthly_all", "r", "m", false}, {"r_monthly_top", "r", "m", true},
      {"s_hourly_all", "s", "h", false},  {"s_hourly_top", "s", "h", true},  {"s_daily_all", "s", "d", false},
      {"s_daily_top", "s", "d", true},    {"s_monthly_all", "s", "m", false}, {"s_monthly_top", "s", "m", true},
  };
  std::string out;
  for (const Line& line : kLines) {
    CounterRows rows;
    if (line.top)
      store.QueryTop(line.kind, line.key1, &rows);
    else
      store.QuerySeries(line.kind, line.key1, &rows);
    out.append(DataLine(line.name, rows));
  }
  return out;
}

}  // namespace nevlora
