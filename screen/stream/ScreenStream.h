// The stream between the game's process (quorvat-sim, 32-bit: it hosts the
// module and runs the world) and the screen (quorvat-screen, a 64-bit
// program built with the machine's own compiler, cairo and SDL2: it draws
// the demo's pictures and owns the play window). Both sides include this
// header; it is the stream's only description.
//
// quorvat-sim starts quorvat-screen from its own folder with one end of a
// socket pair (a two-way pipe) as file descriptor kScreenFd, and the mode
// in its arguments:
//
//   quorvat-screen pictures   the demo: the game sends kModel, kFrame and
//                             kRewind messages for the whole run, then one
//                             kPicture per picture to draw and at most one
//                             kAnimation, then kEnd; the screen answers kEnd
//                             with one kDone.
//   quorvat-screen window FRAME_MS [--virtual-pad]
//                             play, a frame every FRAME_MS milliseconds, with
//                             the virtual pad or not: the screen opens the
//                             window and answers with one kDone (empty:
//                             open; else why not, in a line for the person).
//                             Then the game sends the models (kModel) once,
//                             and, once a frame, one kShow; the screen
//                             draws it, waits for the frame's time, takes
//                             the keys and the pad, and answers with one
//                             kInput. The game closing its end ends the
//                             window. The virtual pad's lines are the
//                             screen's standard input, which it shares with
//                             quorvat-sim.
//
// Every message is a MessageHead and `bytes` bytes of body. The bodies are
// the records below, each followed by the counted records and texts it
// names; a text is its bytes, without a terminating zero. All numbers are
// little-endian, the records packed with fixed-size fields: both programs
// run on the same x86 machine, so a record is written and read as it lies
// in memory, whichever of the two word sizes the program has.
#pragma once

#include <cstdint>

constexpr int kScreenFd = 3;
constexpr const char* kScreenProgram = "quorvat-screen";
// No message is larger: a frame with thousands of vehicles and texts still
// fits, and a corrupt length can't make the reader allocate gigabytes.
constexpr uint32_t kMaxMessageBytes = 16u << 20;

enum ScreenMessage : uint32_t {
  kModel = 1,      // ModelRecord × count: the vehicles' sizes by model
  kFrame = 2,      // FrameRecord and what it counts: one frame as it ended
  kRewind = 3,     // RewindRecord: one rewind, for the demo's overview
  kPicture = 4,    // PictureRecord and the path: one PNG to write
  kEnd = 5,        // nothing: the demo's run is all sent
  kDone = 6,       // the text of an error, empty when all went well
  kShow = 7,       // ShowRecord, a FrameRecord when it has one, the two lines
  kInput = 8,      // InputRecord and its KeyRecords
  kAnimation = 9,  // AnimationRecord, its AnimationFrameRecords and the path: one GIF
};

#pragma pack(push, 1)

struct MessageHead {
  uint32_t kind;   // a ScreenMessage
  uint32_t bytes;  // of the body that follows
};

struct ModelRecord {
  int32_t model;
  float a[3], b[3];  // the bounding box's corners, metres
};

struct VehicleRecord {
  int32_t handle;
  int32_t model;
  float pos[3];
  float rot[4];      // x, y, z, w
  uint8_t cruising;  // driving at a velocity of its own, as traffic does
  uint8_t wrecked;   // crashed too badly to drive
  uint8_t followed;  // the module sampled it this frame (not the player's own)
  uint8_t pad;
};

struct RectRecord {
  float cx, cy, w, h;  // fractions of the screen
  int32_t r, g, b, a;
};

struct TextRecord {
  float x, y;       // fractions of the screen
  uint32_t length;  // of the text, whose bytes follow
};

// Followed by `vehicles` VehicleRecords, `rects` RectRecords and `texts`
// TextRecords, each with its text.
struct FrameRecord {
  int64_t frame;
  float gameSpeed;
  float charPos[3];
  float heading;
  float bodyPos[3];  // the player's vehicle when seated, else the character
  int32_t vehicle;
  uint8_t inVehicle;
  uint8_t overlay;   // a rewind frame
  uint8_t recorded;  // the module sampled the player this frame
  uint8_t pad;
  uint32_t vehicles, rects, texts;
};

struct RewindRecord {
  int64_t enterFrame;
  int64_t leaveFrame;     // -1: still rewinding when the run ended
  int64_t scrubbedFrame;  // -1: unknown
  float enterPos[3];
  float restoredPos[3];
};

// Followed by the path of the PNG.
struct PictureRecord {
  int64_t frameIndex;  // the screen at the end of the index-th frame sent; -1: the overview
  uint32_t pathLength;
};

// Followed by `frames` AnimationFrameRecords, in the order they are shown,
// then the path of the GIF, whose pictures are the screens drawn at `width`
// × `height`.
struct AnimationRecord {
  uint32_t frames;
  uint32_t width, height;
  uint32_t pathLength;
};

// One picture of an animation: the screen at the end of the index-th frame
// sent, shown for `lengthUs` (the run's time until the next one).
struct AnimationFrameRecord {
  int64_t frameIndex;
  uint32_t lengthUs;
  uint32_t pad;
};

// Followed by a FrameRecord (when `hasFrame`), then the status line and the
// help line.
struct ShowRecord {
  uint8_t hasFrame;  // 0: nothing has been played yet; just wait for the frame's time
  uint8_t pad[3];
  uint32_t statusLength, helpLength;
};

// Followed by `keys` KeyRecords.
struct InputRecord {
  uint8_t padConnected;
  uint8_t lt, rt;  // the triggers, 0 ... 255
  uint8_t pad;
  uint16_t buttons;        // XInput's button word
  int16_t stickX, stickY;  // the left stick, +y pushed away from the player
  uint16_t pad2;
  uint32_t stepUs;      // real time from the start of the frame before to this one's
  float framesASecond;  // over about the last second
  double seconds;       // from the first frame to this one
  int64_t lateFrames;   // frames that began more than a frame late
  uint32_t keys;
};

struct KeyRecord {
  int32_t virtualKey;  // Windows' code; closing the window comes as Escape
  uint8_t down;
  uint8_t pad[3];
};

#pragma pack(pop)

static_assert(sizeof(MessageHead) == 8 && sizeof(ModelRecord) == 28 &&
                  sizeof(VehicleRecord) == 40 && sizeof(RectRecord) == 32 &&
                  sizeof(TextRecord) == 12 && sizeof(FrameRecord) == 60 &&
                  sizeof(RewindRecord) == 48 && sizeof(PictureRecord) == 12 &&
                  sizeof(AnimationRecord) == 16 && sizeof(AnimationFrameRecord) == 16 &&
                  sizeof(ShowRecord) == 12 && sizeof(InputRecord) == 40 && sizeof(KeyRecord) == 8,
              "the records are the same on both sides");
