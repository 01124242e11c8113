// tools/capture/forward_device.h -- a Direct3D 8 device that passes every call on to another
// device: the base of wrappers that change one answer (say, the device caps) of the real device.
// The capture build's device wraps the real one with it, and the Windows tests their fakes. The
// method list follows the MinGW d3d8.h declarations one for one (as tests/win/support/d3d8_stubs.h).
#pragma once
#include <d3d8.h>

struct ForwardDevice : public IDirect3DDevice8 {
    IDirect3DDevice8* inner;
    explicit ForwardDevice(IDirect3DDevice8* device) : inner(device) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override { return inner->QueryInterface(riid, ppvObject); }
    ULONG STDMETHODCALLTYPE AddRef() override { return inner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return inner->Release(); }
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return inner->TestCooperativeLevel(); }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override { return inner->GetAvailableTextureMem(); }
    HRESULT STDMETHODCALLTYPE ResourceManagerDiscardBytes(DWORD Bytes) override { return inner->ResourceManagerDiscardBytes(Bytes); }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D8 ** ppD3D8) override { return inner->GetDirect3D(ppD3D8); }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8 * pCaps) override { return inner->GetDeviceCaps(pCaps); }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(D3DDISPLAYMODE * pMode) override { return inner->GetDisplayMode(pMode); }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS * pParameters) override { return inner->GetCreationParameters(pParameters); }
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface8 * pCursorBitmap) override { return inner->SetCursorProperties(XHotSpot, YHotSpot, pCursorBitmap); }
    void STDMETHODCALLTYPE SetCursorPosition(UINT XScreenSpace, UINT YScreenSpace,DWORD Flags) override { inner->SetCursorPosition(XScreenSpace, YScreenSpace, Flags); }
    WINBOOL STDMETHODCALLTYPE ShowCursor(WINBOOL bShow) override { return inner->ShowCursor(bShow); }
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS * pPresentationParameters, IDirect3DSwapChain8 ** pSwapChain) override { return inner->CreateAdditionalSwapChain(pPresentationParameters, pSwapChain); }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS * pPresentationParameters) override { return inner->Reset(pPresentationParameters); }
    HRESULT STDMETHODCALLTYPE Present(const RECT *src_rect, const RECT *dst_rect, HWND dst_window_override, const RGNDATA *dirty_region) override { return inner->Present(src_rect, dst_rect, dst_window_override, dirty_region); }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT BackBuffer,D3DBACKBUFFER_TYPE Type,IDirect3DSurface8 ** ppBackBuffer) override { return inner->GetBackBuffer(BackBuffer, Type, ppBackBuffer); }
    HRESULT STDMETHODCALLTYPE GetRasterStatus(D3DRASTER_STATUS * pRasterStatus) override { return inner->GetRasterStatus(pRasterStatus); }
    void STDMETHODCALLTYPE SetGammaRamp(DWORD flags, const D3DGAMMARAMP *ramp) override { inner->SetGammaRamp(flags, ramp); }
    void STDMETHODCALLTYPE GetGammaRamp(D3DGAMMARAMP * pRamp) override { inner->GetGammaRamp(pRamp); }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width,UINT Height,UINT Levels,DWORD Usage,D3DFORMAT Format,D3DPOOL Pool,IDirect3DTexture8 ** ppTexture) override { return inner->CreateTexture(Width, Height, Levels, Usage, Format, Pool, ppTexture); }
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT Width,UINT Height,UINT Depth,UINT Levels,DWORD Usage,D3DFORMAT Format,D3DPOOL Pool,IDirect3DVolumeTexture8 ** ppVolumeTexture) override { return inner->CreateVolumeTexture(Width, Height, Depth, Levels, Usage, Format, Pool, ppVolumeTexture); }
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT EdgeLength,UINT Levels,DWORD Usage,D3DFORMAT Format,D3DPOOL Pool,IDirect3DCubeTexture8 ** ppCubeTexture) override { return inner->CreateCubeTexture(EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture); }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length,DWORD Usage,DWORD FVF,D3DPOOL Pool,IDirect3DVertexBuffer8 ** ppVertexBuffer) override { return inner->CreateVertexBuffer(Length, Usage, FVF, Pool, ppVertexBuffer); }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length,DWORD Usage,D3DFORMAT Format,D3DPOOL Pool,IDirect3DIndexBuffer8 ** ppIndexBuffer) override { return inner->CreateIndexBuffer(Length, Usage, Format, Pool, ppIndexBuffer); }
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT Width,UINT Height,D3DFORMAT Format,D3DMULTISAMPLE_TYPE MultiSample,WINBOOL Lockable,IDirect3DSurface8 ** ppSurface) override { return inner->CreateRenderTarget(Width, Height, Format, MultiSample, Lockable, ppSurface); }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT Width,UINT Height,D3DFORMAT Format,D3DMULTISAMPLE_TYPE MultiSample,IDirect3DSurface8 ** ppSurface) override { return inner->CreateDepthStencilSurface(Width, Height, Format, MultiSample, ppSurface); }
    HRESULT STDMETHODCALLTYPE CreateImageSurface(UINT Width,UINT Height,D3DFORMAT Format,IDirect3DSurface8 ** ppSurface) override { return inner->CreateImageSurface(Width, Height, Format, ppSurface); }
    HRESULT STDMETHODCALLTYPE CopyRects(IDirect3DSurface8 *src_surface, const RECT *src_rects, UINT rect_count, IDirect3DSurface8 *dst_surface, const POINT *dst_points) override { return inner->CopyRects(src_surface, src_rects, rect_count, dst_surface, dst_points); }
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture8 * pSourceTexture,IDirect3DBaseTexture8 * pDestinationTexture) override { return inner->UpdateTexture(pSourceTexture, pDestinationTexture); }
    HRESULT STDMETHODCALLTYPE GetFrontBuffer(IDirect3DSurface8 * pDestSurface) override { return inner->GetFrontBuffer(pDestSurface); }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirect3DSurface8 * pRenderTarget,IDirect3DSurface8 * pNewZStencil) override { return inner->SetRenderTarget(pRenderTarget, pNewZStencil); }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirect3DSurface8 ** ppRenderTarget) override { return inner->GetRenderTarget(ppRenderTarget); }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface8 ** ppZStencilSurface) override { return inner->GetDepthStencilSurface(ppZStencilSurface); }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return inner->BeginScene(); }
    HRESULT STDMETHODCALLTYPE EndScene() override { return inner->EndScene(); }
    HRESULT STDMETHODCALLTYPE Clear(DWORD rect_count, const D3DRECT *rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override { return inner->Clear(rect_count, rects, flags, color, z, stencil); }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override { return inner->SetTransform(state, matrix); }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State,D3DMATRIX * pMatrix) override { return inner->GetTransform(State, pMatrix); }
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override { return inner->MultiplyTransform(state, matrix); }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT8 *viewport) override { return inner->SetViewport(viewport); }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT8 * pViewport) override { return inner->GetViewport(pViewport); }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL8 *material) override { return inner->SetMaterial(material); }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL8 *pMaterial) override { return inner->GetMaterial(pMaterial); }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT8 *light) override { return inner->SetLight(index, light); }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index,D3DLIGHT8 * pLight) override { return inner->GetLight(Index, pLight); }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index,WINBOOL Enable) override { return inner->LightEnable(Index, Enable); }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index,WINBOOL * pEnable) override { return inner->GetLightEnable(Index, pEnable); }
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, const float *plane) override { return inner->SetClipPlane(index, plane); }
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD Index,float * pPlane) override { return inner->GetClipPlane(Index, pPlane); }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State,DWORD Value) override { return inner->SetRenderState(State, Value); }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State,DWORD * pValue) override { return inner->GetRenderState(State, pValue); }
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override { return inner->BeginStateBlock(); }
    HRESULT STDMETHODCALLTYPE EndStateBlock(DWORD * pToken) override { return inner->EndStateBlock(pToken); }
    HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD Token) override { return inner->ApplyStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD Token) override { return inner->CaptureStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD Token) override { return inner->DeleteStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE Type,DWORD * pToken) override { return inner->CreateStateBlock(Type, pToken); }
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS8 *clip_status) override { return inner->SetClipStatus(clip_status); }
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS8 * pClipStatus) override { return inner->GetClipStatus(pClipStatus); }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage,IDirect3DBaseTexture8 ** ppTexture) override { return inner->GetTexture(Stage, ppTexture); }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage,IDirect3DBaseTexture8 * pTexture) override { return inner->SetTexture(Stage, pTexture); }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage,D3DTEXTURESTAGESTATETYPE Type,DWORD * pValue) override { return inner->GetTextureStageState(Stage, Type, pValue); }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage,D3DTEXTURESTAGESTATETYPE Type,DWORD Value) override { return inner->SetTextureStageState(Stage, Type, Value); }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD * pNumPasses) override { return inner->ValidateDevice(pNumPasses); }
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD DevInfoID,void * pDevInfoStruct,DWORD DevInfoStructSize) override { return inner->GetInfo(DevInfoID, pDevInfoStruct, DevInfoStructSize); }
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT palette_idx, const PALETTEENTRY *entries) override { return inner->SetPaletteEntries(palette_idx, entries); }
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT PaletteNumber,PALETTEENTRY * pEntries) override { return inner->GetPaletteEntries(PaletteNumber, pEntries); }
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT PaletteNumber) override { return inner->SetCurrentTexturePalette(PaletteNumber); }
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT * PaletteNumber) override { return inner->GetCurrentTexturePalette(PaletteNumber); }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType,UINT StartVertex,UINT PrimitiveCount) override { return inner->DrawPrimitive(PrimitiveType, StartVertex, PrimitiveCount); }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType,UINT minIndex,UINT NumVertices,UINT startIndex,UINT primCount) override { return inner->DrawIndexedPrimitive(PrimitiveType, minIndex, NumVertices, startIndex, primCount); }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT primitive_count, const void *data, UINT stride) override { return inner->DrawPrimitiveUP(primitive_type, primitive_count, data, stride); }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT min_vertex_idx, UINT vertex_count, UINT primitive_count, const void *index_data, D3DFORMAT index_format, const void *data, UINT stride) override { return inner->DrawIndexedPrimitiveUP(primitive_type, min_vertex_idx, vertex_count, primitive_count, index_data, index_format, data, stride); }
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT SrcStartIndex,UINT DestIndex,UINT VertexCount,IDirect3DVertexBuffer8 * pDestBuffer,DWORD Flags) override { return inner->ProcessVertices(SrcStartIndex, DestIndex, VertexCount, pDestBuffer, Flags); }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD *declaration, const DWORD *byte_code, DWORD *shader, DWORD usage) override { return inner->CreateVertexShader(declaration, byte_code, shader, usage); }
    HRESULT STDMETHODCALLTYPE SetVertexShader(DWORD Handle) override { return inner->SetVertexShader(Handle); }
    HRESULT STDMETHODCALLTYPE GetVertexShader(DWORD * pHandle) override { return inner->GetVertexShader(pHandle); }
    HRESULT STDMETHODCALLTYPE DeleteVertexShader(DWORD Handle) override { return inner->DeleteVertexShader(Handle); }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstant(DWORD reg_idx, const void *data, DWORD count) override { return inner->SetVertexShaderConstant(reg_idx, data, count); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstant(DWORD Register,void * pConstantData,DWORD ConstantCount) override { return inner->GetVertexShaderConstant(Register, pConstantData, ConstantCount); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderDeclaration(DWORD Handle,void * pData,DWORD * pSizeOfData) override { return inner->GetVertexShaderDeclaration(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderFunction(DWORD Handle,void * pData,DWORD * pSizeOfData) override { return inner->GetVertexShaderFunction(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber,IDirect3DVertexBuffer8 * pStreamData,UINT Stride) override { return inner->SetStreamSource(StreamNumber, pStreamData, Stride); }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber,IDirect3DVertexBuffer8 ** ppStreamData,UINT * pStride) override { return inner->GetStreamSource(StreamNumber, ppStreamData, pStride); }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer8 * pIndexData,UINT BaseVertexIndex) override { return inner->SetIndices(pIndexData, BaseVertexIndex); }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer8 ** ppIndexData,UINT * pBaseVertexIndex) override { return inner->GetIndices(ppIndexData, pBaseVertexIndex); }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD *byte_code, DWORD *shader) override { return inner->CreatePixelShader(byte_code, shader); }
    HRESULT STDMETHODCALLTYPE SetPixelShader(DWORD Handle) override { return inner->SetPixelShader(Handle); }
    HRESULT STDMETHODCALLTYPE GetPixelShader(DWORD * pHandle) override { return inner->GetPixelShader(pHandle); }
    HRESULT STDMETHODCALLTYPE DeletePixelShader(DWORD Handle) override { return inner->DeletePixelShader(Handle); }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstant(DWORD reg_idx, const void *data, DWORD count) override { return inner->SetPixelShaderConstant(reg_idx, data, count); }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstant(DWORD Register,void * pConstantData,DWORD ConstantCount) override { return inner->GetPixelShaderConstant(Register, pConstantData, ConstantCount); }
    HRESULT STDMETHODCALLTYPE GetPixelShaderFunction(DWORD Handle,void * pData,DWORD * pSizeOfData) override { return inner->GetPixelShaderFunction(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT handle, const float *segment_count, const D3DRECTPATCH_INFO *patch_info) override { return inner->DrawRectPatch(handle, segment_count, patch_info); }
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT handle, const float *segment_count, const D3DTRIPATCH_INFO *patch_info) override { return inner->DrawTriPatch(handle, segment_count, patch_info); }
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT Handle) override { return inner->DeletePatch(Handle); }
};
