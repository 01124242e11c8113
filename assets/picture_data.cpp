// assets/picture_data.cpp -- the pictures, made by tools/forge, stored one after another behind the
// music module: globe, spark, caption, the title's DDS header and pixels, then the seven slides.
#include "assets/assets.h"
#include "assets/incbin.h"

#define QE_LABEL(name) ".globl " QE_SYMBOL(name) "\n" QE_SYMBOL(name) ":\n"
#define QE_FILE(file) ".incbin \"" QE_ASSET_DIR "/" file "\"\n"

asm(QE_RODATA_SECTION
    ".balign 16\n"
    QE_LABEL(g_globeImage)   QE_FILE("globe.argb4444")   // 8,192 bytes each below, in order
    QE_LABEL(g_sparkImage)   QE_FILE("spark.rgb565")
    QE_LABEL(g_captionImage) QE_FILE("caption.rgb565")
    QE_LABEL(g_titleHeader)  QE_FILE("title.dds")        // the 128-byte header, then the pixels
    ".globl " QE_SYMBOL(g_titleImage) "\n"
    ".set " QE_SYMBOL(g_titleImage) ", " QE_SYMBOL(g_titleHeader) " + 128\n"
    QE_LABEL(g_slideImages)
    QE_FILE("slide0.dxt1") QE_FILE("slide1.dxt1") QE_FILE("slide2.dxt1") QE_FILE("slide3.dxt1")
    QE_FILE("slide4.dxt1") QE_FILE("slide5.dxt1") QE_FILE("slide6.dxt1")
    QE_LABEL(g_pictureData_end)
    ".text\n");

const uint8_t* const g_slidePointers[7] = {
    g_slideImages + 0 * SLIDE_IMAGE_BYTES, g_slideImages + 1 * SLIDE_IMAGE_BYTES, g_slideImages + 2 * SLIDE_IMAGE_BYTES,
    g_slideImages + 3 * SLIDE_IMAGE_BYTES, g_slideImages + 4 * SLIDE_IMAGE_BYTES, g_slideImages + 5 * SLIDE_IMAGE_BYTES,
    g_slideImages + 6 * SLIDE_IMAGE_BYTES,
};
