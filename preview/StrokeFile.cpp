#include "preview/StrokeFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace quarnel {

namespace {

using nlohmann::json;

constexpr const char* kFormat = "quarnel-strokes";
constexpr int kVersion = 1;

// A whole number within [lo, hi], given as an integer or as a double without a fraction.
bool WholeNumber(const json& v, double lo, double hi, double& out) {
  if (!v.is_number()) return false;
  const double d = v.get<double>();
  if (!std::isfinite(d) || d != std::floor(d) || d < lo || d > hi) return false;
  out = d;
  return true;
}

bool ParsePoint(const json& p, TPadPoint& point, std::string& why) {
  if (!p.is_array() || p.size() != 4) {
    why = "expected [x, y, pressure, time]";
    return false;
  }
  const char* names[3] = {"x", "y", "the pressure"};
  double* fields[3] = {&point.x, &point.y, &point.pressure};
  for (int i = 0; i < 3; ++i) {
    if (!p[i].is_number() || !std::isfinite(p[i].get<double>())) {
      why = std::string(names[i]) + " is not a finite number";
      return false;
    }
    *fields[i] = p[i].get<double>();
  }
  double time = 0.0;
  if (!WholeNumber(p[3], 0.0, 4294967295.0, time)) {
    why = "the time is not a whole number of milliseconds from 0 to 4294967295";
    return false;
  }
  point.time = static_cast<uint32_t>(time);
  return true;
}

bool ParseDocument(const json& doc, TStrokeFile& file, std::string& error) {
  if (!doc.is_object()) {
    error = "the file is not a JSON object";
    return false;
  }
  const auto format = doc.find("format");
  if (format == doc.end() || !format->is_string() || format->get<std::string>() != kFormat) {
    error = std::string("\"format\" is not \"") + kFormat + "\"";
    return false;
  }
  double version = 0.0;
  const auto v = doc.find("version");
  if (v == doc.end() || !WholeNumber(*v, 0.0, 1e9, version)) {
    error = "\"version\" is missing or not a whole number";
    return false;
  }
  if (version != kVersion) {
    error = "version " + std::to_string(static_cast<long long>(version)) +
            " is not known here (this program reads version 1)";
    return false;
  }
  for (const char* key : {"width", "height"}) {
    double side = 0.0;
    const auto k = doc.find(key);
    if (k == doc.end() || !WholeNumber(*k, 1.0, kMaxPadSide, side)) {
      error = std::string("\"") + key + "\" is missing or not a whole number from 1 to " +
              std::to_string(kMaxPadSide);
      return false;
    }
    (key[0] == 'w' ? file.width : file.height) = static_cast<int32_t>(side);
  }
  const auto strokes = doc.find("strokes");
  if (strokes == doc.end() || !strokes->is_array()) {
    error = "\"strokes\" is missing or not a list";
    return false;
  }
  file.strokes.clear();
  file.strokes.reserve(strokes->size());
  for (size_t s = 0; s < strokes->size(); ++s) {
    const json& stroke = (*strokes)[s];
    const std::string where = "strokes[" + std::to_string(s) + "]";
    const auto points = stroke.is_object() ? stroke.find("points") : stroke.end();
    if (!stroke.is_object() || points == stroke.end() || !points->is_array() || points->empty()) {
      error = where + ": expected {\"points\": [...]} with at least one point";
      return false;
    }
    TPadStroke& out = file.strokes.emplace_back();
    out.reserve(points->size());
    for (size_t i = 0; i < points->size(); ++i) {
      std::string why;
      if (!ParsePoint((*points)[i], out.emplace_back(), why)) {
        error = where + ".points[" + std::to_string(i) + "]: " + why;
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool ParseStrokeFile(std::string_view text, TStrokeFile& file, std::string& error) {
  // The library reports malformed text with the byte it stopped at; nothing it throws leaves
  // this function.
  try {
    const json doc = json::parse(text.begin(), text.end());
    return ParseDocument(doc, file, error);
  } catch (const json::parse_error& e) {
    error = std::string("not JSON: ") + e.what();
  } catch (const std::exception& e) {
    error = e.what();
  }
  return false;
}

bool ReadStrokeFile(const std::string& path, TStrokeFile& file, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    error = "cannot read '" + path + "'";
    return false;
  }
  if (!ParseStrokeFile(text.str(), file, error)) {
    error = "'" + path + "': " + error;
    return false;
  }
  return true;
}

std::string StrokeFileText(const TStrokeFile& file) {
  std::string out = std::string("{\"format\": \"") + kFormat +
                    "\", \"version\": " + std::to_string(kVersion) +
                    ", \"width\": " + std::to_string(file.width) +
                    ", \"height\": " + std::to_string(file.height) + ", \"strokes\": [";
  for (size_t s = 0; s < file.strokes.size(); ++s) {
    json points = json::array();
    for (const TPadPoint& p : file.strokes[s]) {
      points.push_back(json::array({p.x, p.y, p.pressure, p.time}));
    }
    out += s == 0 ? "\n" : ",\n";
    out += "  {\"points\": " + points.dump() + "}";
  }
  out += file.strokes.empty() ? "]}\n" : "\n]}\n";
  return out;
}

// Written beside the file and renamed over it, so that a failed write leaves the old file.
bool WriteStrokeFile(const std::string& path, const TStrokeFile& file, std::string& error) {
  const std::string text = StrokeFileText(file);
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool ok = true;
  for (size_t at = 0; ok && at < text.size();) {
    const ssize_t done = write(fd, text.data() + at, text.size() - at);
    if (done < 0 && errno == EINTR) continue;
    ok = done > 0;
    if (ok) at += static_cast<size_t>(done);
  }
  int savedErrno = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  // mkstemp makes the file private; a stroke file is as readable as any the user saves.
  const mode_t mask = umask(0);
  umask(mask);
  if (ok) chmod(temporary.c_str(), 0666 & ~mask);
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    error = "cannot write '" + path + "': " + std::strerror(savedErrno);
  }
  return ok;
}

}  // namespace quarnel
