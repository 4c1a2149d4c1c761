#include "preview/WireFormat.h"

namespace quarnel {

bool ParseFrameHeader(const char header[kFrameHeader], EFrame& type, uint32_t& length) {
  const auto t = static_cast<EFrame>(static_cast<uint8_t>(header[0]));
  switch (t) {
    case EFrame::kJob:
    case EFrame::kHello:
    case EFrame::kPrint:
    case EFrame::kDebug:
    case EFrame::kError:
    case EFrame::kResult:
      break;
    default:
      return false;
  }
  type = t;
  length = 0;
  for (int i = 0; i < 4; ++i)
    length |= static_cast<uint32_t>(static_cast<uint8_t>(header[1 + i])) << (8 * i);
  return true;
}

void AppendFrame(std::string& out, EFrame type, std::string_view payload) {
  out.push_back(static_cast<char>(type));
  const auto n = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  out.append(payload.data(), payload.size());
}

void CWireWriter::operator()(const std::string& v) {
  (*this)(static_cast<uint32_t>(v.size()));
  out_ += v;
}

void CWireWriter::operator()(const TPixelField& v) {
  const pavo::CImage32* image = v.image;
  const bool have = image != nullptr && image->pixels != nullptr;
  const int32_t w = have ? image->width : 0;
  const int32_t h = have ? image->height : 0;
  (*this)(w);
  (*this)(h);
  for (int32_t y = 0; y < h; ++y) {
    out_.append(reinterpret_cast<const char*>(image->RowAddress(y)), static_cast<size_t>(w) * 4);
  }
}

void CWireReader::operator()(bool& v) {
  if (!Have(1)) return;
  const auto byte = static_cast<uint8_t>(bytes_[at_++]);
  if (byte > 1) {
    ok_ = false;
    return;
  }
  v = byte != 0;
}

void CWireReader::operator()(std::string& v) {
  uint32_t n = 0;
  (*this)(n);
  if (!Have(n)) return;
  v.assign(bytes_.data() + at_, n);
  at_ += n;
}

void CWireReader::operator()(TPixelField& v) {
  int32_t w = 0;
  int32_t h = 0;
  (*this)(w);
  (*this)(h);
  if (!ok_) return;
  if (w < 0 || h < 0 || (w == 0) != (h == 0)) {
    ok_ = false;
    return;
  }
  const uint64_t row = static_cast<uint64_t>(w) * 4;
  if (h > 0 && row * static_cast<uint64_t>(h) > bytes_.size() - at_) {
    ok_ = false;
    return;
  }
  if (v.image == nullptr) {
    at_ += static_cast<size_t>(row * static_cast<uint64_t>(h));
    return;
  }
  if (w == 0) {
    v.image->FreeBuffer();
    return;
  }
  if (v.image->width != w || v.image->height != h || v.image->pixels == nullptr) {
    if (!v.image->Resize(w, h) || v.image->pixels == nullptr) {
      ok_ = false;
      return;
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(v.image->RowAddress(y), bytes_.data() + at_, static_cast<size_t>(row));
    at_ += static_cast<size_t>(row);
  }
}

}  // namespace quarnel
