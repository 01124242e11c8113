// tests/win/support/recording_stubs.h -- the do-nothing Direct3D 8 bases (d3d8_stubs.h) under the
// names the show's recording fakes use. Windows tests only.
#pragma once
#include "d3d8_stubs.h"

namespace recording {

using StubDevice8 = ::StubDevice;
using StubTexture8 = ::StubTexture;
using StubSurface8 = ::StubSurface;
using StubVertexBuffer8 = ::StubVertexBuffer;
using StubIndexBuffer8 = ::StubIndexBuffer;

}  // namespace recording
