#include "Resample.h"

#include <soxr.h>

#include <stdexcept>
#include <string>

namespace kalvor::voicegen {

std::vector<float> Resample(std::span<const std::int16_t> in, int inRate, int outRate) {
  std::vector<float> src(in.begin(), in.end());
  if (inRate == outRate) return src;
  std::size_t outLen =
      static_cast<std::size_t>((static_cast<double>(in.size()) * outRate) / inRate + 0.5);
  std::vector<float> out(outLen);
  if (src.empty()) return out;
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
  soxr_runtime_spec_t rt = soxr_runtime_spec(1);
  std::size_t done = 0;
  soxr_error_t err = soxr_oneshot(inRate, outRate, 1, src.data(), src.size(), nullptr, out.data(),
                                  out.size(), &done, &io, &q, &rt);
  if (err) throw std::runtime_error(std::string("soxr: ") + err);
  out.resize(done);
  return out;
}

}  // namespace kalvor::voicegen
