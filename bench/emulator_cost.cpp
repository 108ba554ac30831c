// How much slower the emulator runs 32-bit code than the machine runs the
// same code natively. The module itself builds only as 32-bit code, so this
// stands in for one recording frame: fourteen calls through a function
// pointer that fill and answer a 164-byte call record, and seventeen
// push-front / pop-back pairs on float deques holding 2,001 samples.
// Built twice by scripts/bench (-m32, run under the emulator, and natively);
// the ratio of the two times is the emulator's factor.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>

namespace {
struct Record {
  uint32_t head[4];
  uint32_t targets[4];
  float scratch[16];
  uint32_t slots[17];
};

void (*volatile answer)(Record*, uint32_t);

void Answer(Record* r, uint32_t hash) {
  float value = static_cast<float>(hash & 0xFF) * 0.5f;
  std::memcpy(&r->slots[0], &value, sizeof value);
}

float Call(uint32_t hash, float a) {
  Record r;
  r.head[0] = 0;
  r.head[1] = 2;
  std::memcpy(&r.slots[1], &a, sizeof a);
  answer(&r, hash);
  float out;
  std::memcpy(&out, &r.slots[0], sizeof out);
  return out;
}
}  // namespace

int main() {
  answer = Answer;
  std::deque<float> histories[17];
  for (auto& h : histories) h.resize(2001);
  const int frames = 200000;
  float sum = 0;
  const std::clock_t start = std::clock();
  for (int f = 0; f < frames; ++f) {
    float v = 0;
    for (uint32_t n = 0; n < 14; ++n) v += Call(n * 2654435761u, static_cast<float>(f));
    for (auto& h : histories) {
      h.push_front(v - 1.0f);
      h.pop_back();
    }
    sum += histories[f % 17].front();
  }
  // Processor time, as the benchmarks report: other work on a shared machine
  // does not count.
  const double ns = 1e9 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  std::printf("%.1f %g\n", ns / frames, static_cast<double>(sum) * 0.0);
  return 0;
}
