// tools/capture/back_buffer.h -- what the capture build and the probe build (tests/probe) share to
// see the frames the program draws: the system's Direct3D object wrapped so that each device it
// creates goes through a wrapper of the caller's, and the read-back of a device's back buffer.
#pragma once
#include <windows.h>
#include <d3d8.h>

#include <cstdint>

// The system's Direct3D 8 object (d3d8.dll's Direct3DCreate8), every device it creates handed to
// wrap, which returns the device the program gets; null when there is no Direct3D 8.
IDirect3D8* WrapDirect3D(UINT sdkVersion, IDirect3DDevice8* (*wrap)(IDirect3DDevice8* device));

// The frame drawn so far, read before Present: the back buffer is copied into *copy (a system-memory
// image surface in its format, made on the first call; GetFrontBuffer answers black under Wine),
// locked there and converted into frame as 640 x 480 B, G, R, 0. False, with why set, when a call
// fails or the back buffer is not 640 x 480 in a format it reads.
bool ReadBackBuffer(IDirect3DDevice8* device, IDirect3DSurface8** copy, uint8_t* frame, char (&why)[96]);
