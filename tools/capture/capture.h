// tools/capture/capture.h -- the capture build: the program's own library with four platform
// pieces put in its place, so that the show runs on a simulated clock and sound device and every
// frame is read back after it is drawn.
//
//   clock_capture.cpp        the performance counter counts presented frames
//   wave_device_capture.cpp  a wave device that "plays" at the frame clock's pace into a WAV, and
//                            the audio thread as a fiber of the main thread
//   direct3d_capture.cpp     Direct3DCreate8, whose device reads every frame back before Present
//   capture_main.cpp         the entry point: settings, outputs, then the program's AppMain
//
// The objects above are linked before the program's library, so the library's own clock, wave
// device and the Direct3D import are never pulled in. Windows only, main thread only, but for the
// frames' writer.
#pragma once
#include <windows.h>

#include <cstdint>

// What the capture does to the program at a chosen moment, as the user or the desktop would.
enum CaptureAction {
    kCaptureEscape,                // the Escape key (WM_KEYDOWN VK_ESCAPE)
    kCaptureClose,                 // WM_CLOSE, as Alt+F4 or the window manager's close sends it
    kCaptureDeactivate,            // WM_ACTIVATE with WA_INACTIVE: another window took the focus
};

struct CaptureSettings {
    uint32_t      fps;             // frames per second of show time, 1..240
    CaptureAction action;          // what is posted at the moment below
    int64_t       action_frame;    // posted before this frame (frames count from 0); -1: see action_music
    int64_t       action_music;    // or once this many sample frames of music have played; -1: never
    int64_t       close_frame;     // WM_CLOSE before this video frame; -1: never
    bool          video;           // frames are read back and written (false: QE_CAPTURE_VIDEO=none)
};

extern CaptureSettings g_capture;

// Presents so far: video frames written. The simulated counter reads g_capturePresents x 65536.
extern int64_t g_capturePresents;
// Every Present, the ones past the frame limit too: the report at exit gives it.
extern int64_t g_captureAllPresents;

// Sound: 44100 Hz (the device's rate), 16-bit stereo, appended after each Present.
bool    CaptureSoundOpen(const char* path);  // false: the WAV cannot be created
void    CaptureSoundAdvance();               // the device moves to g_capturePresents; appends what it played
void    CaptureAudioPoll();                  // one poll of the audio thread, if it runs
int64_t CaptureMusicFrames();                // sample frames played since the device started; -1 before
int64_t CaptureMusicStartPresents();         // presents before the device started; -1 before

// Pictures: 640 x 480, 4 bytes a pixel (B, G, R, 0), top row first, one frame after another,
// written by a thread of their own: the main thread fills the next slot and queues it.
bool     CaptureVideoOpen(const char* path, bool yuv);  // null or "-": standard output; yuv: written as
                                             // yuv420p (frame_yuv.h); starts the writer
uint8_t* CaptureVideoSlot();                 // the next frame's 640 * 480 * 4 bytes, once free
void     CaptureVideoQueue();                // the slot is filled: written after the ones before
void     CaptureVideoFlush();                // waits until every queued frame is written

// Called by the device after each Present: clock, sound, audio thread, then Escape or close.
// Once the frame limit is reached nothing more is recorded (CaptureRecording false).
void CaptureAfterPresent();
bool CaptureRecording();

// One line on standard error, for the script's log.
void CaptureLog(const char* format, ...);

// Writes all the bytes, however many calls it takes; false when a write fails or writes nothing.
bool CaptureWrite(HANDLE file, const void* data, DWORD bytes);

// Unix paths (from the scripts) as Wine's Z: paths; anything else unchanged.
void CaptureWindowsPath(const char* in, char* out, size_t size);
