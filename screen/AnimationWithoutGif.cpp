// The screen built where the machine has no giflib: the demo says what to
// install rather than leave the animation out unnoticed.
#include <stdexcept>

#include "Animation.h"

void WriteAnimation(const std::vector<Frame>&, const std::map<int32_t, Model>&,
                    const std::vector<AnimationFrameRecord>&, uint32_t, uint32_t,
                    const std::string& path) {
  throw std::runtime_error(path +
                           ": quorvat-screen was built without giflib, which the animation "
                           "needs: install libgif-dev (scripts/setup demo does) and build again");
}
