/* Smoke check of the WebAssembly libraries: prints their versions, compares them with the
 * versions the caller expects (from Debian's source versions), and exercises each library once:
 * a bzip2 round trip, a PNG decoded through zlib, the formats and codecs the player needs, one
 * scaler and one resampler, and libopenmpt's list of module formats. Exits non-zero on a fault. */
#include <bzlib.h>
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libopenmpt/libopenmpt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <jconfig.h> /* LIBJPEG_TURBO_VERSION */
#include <turbojpeg.h>
#include <zlib.h>

/* LIBJPEG_TURBO_VERSION is a bare token (2.1.5): made a string. */
#define TEXT_OF(x) #x
#define TEXT(x) TEXT_OF(x)

static int failures = 0;

static void check(int ok, const char* what)
{
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

static void expect_prefix(const char* got, const char* expected, const char* what)
{
    printf("%-12s %s\n", what, got);
    if (strncmp(got, expected, strlen(expected)) != 0) {
        printf("FAIL: %s is %s, expected %s\n", what, got, expected);
        ++failures;
    }
}

/* 2x1 RGB PNG: a red pixel, then a blue one. */
static const unsigned char png[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7b, 0x40, 0xe8,
    0xdd, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0x00, 0x04,
    0xff, 0x01, 0x07, 0x00, 0x01, 0xff, 0x3d, 0x7d, 0x8c, 0x49, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45,
    0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

static void check_png(void)
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_PNG);
    check(codec != NULL, "png decoder");
    if (!codec) return;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    uint8_t buffer[sizeof png + AV_INPUT_BUFFER_PADDING_SIZE] = {0};
    memcpy(buffer, png, sizeof png);
    packet->data = buffer;
    packet->size = sizeof png;
    int ok = avcodec_open2(ctx, codec, NULL) == 0 && avcodec_send_packet(ctx, packet) == 0 &&
             avcodec_receive_frame(ctx, frame) == 0;
    check(ok, "decoding a PNG");
    if (ok) {
        const uint8_t* p = frame->data[0];
        check(frame->width == 2 && frame->height == 1 && frame->format == AV_PIX_FMT_RGB24, "PNG size and format");
        check(p[0] == 255 && p[1] == 0 && p[2] == 0 && p[3] == 0 && p[4] == 0 && p[5] == 255, "PNG pixels");
    }
    packet->data = NULL;
    packet->size = 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
}

static void check_bzip2(void)
{
    char text[4096], packed[8192], unpacked[4096];
    for (unsigned i = 0; i < sizeof text; ++i) text[i] = (char)("tessaline"[i % 9] + i / 512);
    unsigned packedLength = sizeof packed, unpackedLength = sizeof unpacked;
    check(BZ2_bzBuffToBuffCompress(packed, &packedLength, text, sizeof text, 9, 0, 0) == BZ_OK, "bzip2 compression");
    check(BZ2_bzBuffToBuffDecompress(unpacked, &unpackedLength, packed, packedLength, 0, 0) == BZ_OK &&
              unpackedLength == sizeof text && memcmp(text, unpacked, sizeof text) == 0,
          "bzip2 round trip");
}

static void check_scale_and_resample(void)
{
    struct SwsContext* sws = sws_getContext(64, 64, AV_PIX_FMT_YUV420P, 32, 32, AV_PIX_FMT_RGBA, SWS_BILINEAR,
                                            NULL, NULL, NULL);
    check(sws != NULL, "swscale YUV420P to RGBA");
    sws_freeContext(sws);
    SwrContext* swr = NULL;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO, mono = AV_CHANNEL_LAYOUT_MONO;
    check(swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, 48000, &mono, AV_SAMPLE_FMT_S16, 22050, 0, NULL) == 0 &&
              swr_init(swr) == 0,
          "swresample mono s16 22050 to stereo float 48000");
    swr_free(&swr);
}

/* libpng's simplified interface reads the same 2x1 picture. */
static void check_libpng(void)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    check(png_image_begin_read_from_memory(&image, png, sizeof png) != 0, "libpng reads the PNG header");
    image.format = PNG_FORMAT_RGB;
    unsigned char rgb[6] = {0};
    check(image.width == 2 && image.height == 1, "libpng: 2x1");
    check(png_image_finish_read(&image, NULL, rgb, 0, NULL) != 0, "libpng decodes the PNG");
    check(rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 0 && rgb[3] == 0 && rgb[4] == 0 && rgb[5] == 255,
          "libpng: a red pixel, then a blue one");
}

/* TurboJPEG: an 8x8 red square compressed at quality 95 comes back red. */
static void check_turbojpeg(void)
{
    unsigned char square[8 * 8 * 3];
    for (int i = 0; i < 64; ++i) {
        square[3 * i] = 255;
        square[3 * i + 1] = 0;
        square[3 * i + 2] = 0;
    }
    tjhandle c = tjInitCompress(), d = tjInitDecompress();
    check(c != NULL && d != NULL, "turbojpeg handles");
    unsigned char* jpeg = NULL;
    unsigned long size = 0;
    check(tjCompress2(c, square, 8, 0, 8, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95, 0) == 0, "turbojpeg compresses");
    unsigned char back[8 * 8 * 3] = {0};
    check(tjDecompress2(d, jpeg, size, back, 8, 0, 8, TJPF_RGB, 0) == 0, "turbojpeg decompresses");
    check(back[0] > 240 && back[1] < 16 && back[2] < 16, "turbojpeg: the square stays red");
    tjFree(jpeg);
    tjDestroy(c);
    tjDestroy(d);
}

int main(int argc, char** argv)
{
    if (argc != 7) {
        fprintf(stderr, "usage: check-deps BZIP2 ZLIB LIBOPENMPT FFMPEG LIBJPEG-TURBO LIBPNG (expected upstream versions)\n");
        return 2;
    }
    expect_prefix(BZ2_bzlibVersion(), argv[1], "bzip2");
    expect_prefix(zlibVersion(), argv[2], "zlib");
    const char* openmpt = openmpt_get_string("library_version");
    expect_prefix(openmpt, argv[3], "libopenmpt");
    openmpt_free_string(openmpt);
    expect_prefix(av_version_info(), argv[4], "ffmpeg");
    expect_prefix(TEXT(LIBJPEG_TURBO_VERSION), argv[5], "libjpeg-turbo");
    expect_prefix(png_get_libpng_ver(NULL), argv[6], "libpng");
    printf("%-12s avformat %u, avcodec %u, avutil %u, swscale %u, swresample %u\n", "", avformat_version(),
           avcodec_version(), avutil_version(), swscale_version(), swresample_version());
    check(openmpt_get_library_version() >> 24 == 0 && (openmpt_get_library_version() >> 16 & 0xff) == 6,
          "openmpt_get_library_version is 0.6");

    const char* demuxers[] = {"avi", "mp3", "ogg", "wav"};
    for (unsigned i = 0; i < sizeof demuxers / sizeof *demuxers; ++i)
        check(av_find_input_format(demuxers[i]) != NULL, demuxers[i]);
    const char* decoders[] = {"mjpeg",    "mpeg4",  "msmpeg4v1", "msmpeg4v2", "msmpeg4", "rawvideo", "cinepak",
                              "msvideo1", "png",    "mp3float",  "vorbis",    "pcm_u8",  "pcm_s16le", "pcm_s24le",
                              "pcm_f32le"};
    for (unsigned i = 0; i < sizeof decoders / sizeof *decoders; ++i)
        check(avcodec_find_decoder_by_name(decoders[i]) != NULL, decoders[i]);
    check(avcodec_find_decoder(AV_CODEC_ID_MP3) != NULL, "a decoder for MP3");

    const char* extensions = openmpt_get_supported_extensions();
    printf("%-12s %s\n", "modules", extensions);
    check(strstr(extensions, "mod") && strstr(extensions, "xm") && strstr(extensions, "s3m") && strstr(extensions, "it"),
          "libopenmpt reads mod, xm, s3m and it");
    openmpt_free_string(extensions);

    check_bzip2();
    check_png();
    check_libpng();
    check_turbojpeg();
    check_scale_and_resample();
    printf(failures ? "%d failure(s)\n" : "all checks passed\n", failures);
    return failures ? 1 : 0;
}
