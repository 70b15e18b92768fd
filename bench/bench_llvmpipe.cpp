// The heavy 3D frame's triangles drawn by our renderer and by Mesa's llvmpipe (OpenGL ES 2
// through EGL, surfaceless or a pbuffer, LP_NUM_THREADS=0 so that it rasterises in the calling
// thread) into 512x256 colour and depth buffers. The frame is updated and prepared once; both
// sides then draw the same front-facing, unclipped triangles with per-vertex light (the tori
// textured, nearest texel times light; the tube plain), clearing colour and depth each time.
// llvmpipe gets the screen positions as they are (no vertex transform to speak of), so the
// comparison is of triangle set-up and filling. After the runs the ratio ours / llvmpipe of the
// fastest repetition is printed (below 1: ours faster), with the pixels each side covered.
// Skipped when no llvmpipe display or context can be opened.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/CImage32.h"
#include "s3d/S3DScene.h"
#include "support/HeavyScene.h"

namespace {

constexpr int kWidth = 512, kHeight = 256;
constexpr float kFrame = 147.0f;

double threadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// The heavy scene at kFrame, prepared, with the triangles it draws as llvmpipe vertices:
// x, y, z in normalised device coordinates, then u, v, light.
struct PreparedFrame {
    S3DScene scene;
    CImage32Buffered image{kWidth, kHeight};
    ViewPort viewPort;
    std::vector<float> textured, plain;  // 6 floats a vertex
    long triangles = 0, skipped = 0;
    std::string error;

    PreparedFrame()
    {
        setReportEcho(false);
        const HeavySceneFiles& files = heavySceneFiles();
        if (files.plain.empty()) {
            error = files.error;
            return;
        }
        scene.load(files.plain.c_str());
        viewPort.setScreen(&image);
        scene.setViewPort(&viewPort);
        scene.setCamera(0);
        scene.update(kFrame);
        scene.prepare();
        for (const S3DTriObject& o : scene.getTriObjects()) collect(o);
    }

    void collect(const S3DTriObject& o)
    {
        std::vector<float>& out = o.m_hasTextureFaces ? textured : plain;
        for (size_t f = 0; f < o.m_faces.size(); ++f) {
            const S3DFace& face = o.m_faces[f];
            if (o.m_facingAway[f]) continue;
            bool clipped = false;
            for (uint16_t v : face.vertex) clipped |= o.m_projected[v].clip != 0;
            if (clipped) {
                ++skipped;
                continue;
            }
            ++triangles;
            for (int k = 0; k < 3; ++k) {
                const S3DProjectedVertex& p = o.m_projected[face.vertex[k]];
                const S3DTextureVertex t =
                    o.m_hasTextureFaces ? o.m_textureVertices[face.textureVertex[k]] : S3DTextureVertex{};
                // Larger w is nearer: depth 1 - w passes GL_LESS for the nearer point.
                out.insert(out.end(), {2.0f * p.x / kWidth - 1.0f, 1.0f - 2.0f * p.y / kHeight, 1.0f - 2.0f * p.w, t.u,
                                       1.0f - t.v, o.lightValues()[face.vertex[k]]});
            }
        }
    }

    void render()
    {
        image.clear(0);
        viewPort.clearZBuffer();
        scene.render();
    }

    long covered() const
    {
        long n = 0;
        for (int64_t i = 0; i < image.pixelCount(); ++i) n += (image.m_pPixels[i] & 0xFFFFFF) != 0;
        return n;
    }
};

PreparedFrame& frame()
{
    static PreparedFrame f;
    return f;
}

const char* const kVertexShader = R"(
attribute vec3 a_position;
attribute vec3 a_texLight;
varying vec3 v_texLight;
void main() {
    v_texLight = a_texLight;
    gl_Position = vec4(a_position, 1.0);
})";
const char* const kTexturedShader = R"(
precision mediump float;
uniform sampler2D u_texture;
varying vec3 v_texLight;
void main() { gl_FragColor = texture2D(u_texture, v_texLight.xy) * v_texLight.z; })";
const char* const kPlainShader = R"(
precision mediump float;
varying vec3 v_texLight;
void main() { gl_FragColor = vec4(0.8, 0.5, 0.4, 1.0) * v_texLight.z; })";

// One llvmpipe context drawing into a framebuffer of its own, with the frame's triangles in
// vertex buffers; `error` says why it is not usable.
class Llvmpipe {
public:
    Llvmpipe()
    {
        // One rasteriser, in the calling thread; the software driver in any case.
        setenv("LP_NUM_THREADS", "0", 1);
        setenv("GALLIUM_DRIVER", "llvmpipe", 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        if (!openDisplay() || !makeCurrent()) return;
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        m_renderer = renderer ? renderer : "";
        if (m_renderer.find("llvmpipe") == std::string::npos) {
            m_error = "the EGL renderer is not llvmpipe: " + m_renderer;
            return;
        }
        if (!makeFramebuffer() || !makePrograms()) return;
        const PreparedFrame& f = frame();
        m_texturedCount = upload(m_buffers[0], f.textured);
        m_plainCount = upload(m_buffers[1], f.plain);
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glClearColor(0, 0, 0, 0);
        m_ready = glGetError() == GL_NO_ERROR;
        if (!m_ready) m_error = "GL error while setting up";
    }
    ~Llvmpipe()
    {
        if (m_display == EGL_NO_DISPLAY) return;
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (m_context != EGL_NO_CONTEXT) eglDestroyContext(m_display, m_context);
        if (m_surface != EGL_NO_SURFACE) eglDestroySurface(m_display, m_surface);
        eglTerminate(m_display);
    }
    Llvmpipe(const Llvmpipe&) = delete;
    Llvmpipe& operator=(const Llvmpipe&) = delete;

    bool ready() const { return m_ready; }
    const std::string& error() const { return m_error; }
    const std::string& renderer() const { return m_renderer; }

    // Clears, draws both sets and waits for the pixels.
    void draw()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawSet(m_programs[0], m_buffers[0], m_texturedCount);
        drawSet(m_programs[1], m_buffers[1], m_plainCount);
        glFinish();
    }

    long covered()
    {
        std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        long n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4) n += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
        return n;
    }

private:
    bool fail(const std::string& message)
    {
        m_error = message;
        return false;
    }

    bool openDisplay()
    {
        const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        const auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless") && getPlatformDisplay)
            m_display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (m_display == EGL_NO_DISPLAY) m_display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (m_display == EGL_NO_DISPLAY) return fail("no EGL display");
        if (!eglInitialize(m_display, nullptr, nullptr)) {
            m_display = EGL_NO_DISPLAY;
            return fail("cannot initialise the EGL display");
        }
        return true;
    }

    // A context, current without a surface when the display allows it, else on a pbuffer.
    bool makeCurrent()
    {
        if (!eglBindAPI(EGL_OPENGL_ES_API)) return fail("no OpenGL ES through EGL");
        const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_NONE};
        EGLConfig config;
        EGLint count = 0;
        if (!eglChooseConfig(m_display, attributes, &config, 1, &count) || count < 1) return fail("no EGL config");
        const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
        m_context = eglCreateContext(m_display, config, EGL_NO_CONTEXT, contextAttributes);
        if (m_context == EGL_NO_CONTEXT) return fail("cannot create an OpenGL ES 2 context");
        if (eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context)) return true;
        const EGLint pbuffer[] = {EGL_WIDTH, kWidth, EGL_HEIGHT, kHeight, EGL_NONE};
        m_surface = eglCreatePbufferSurface(m_display, config, pbuffer);
        if (m_surface == EGL_NO_SURFACE || !eglMakeCurrent(m_display, m_surface, m_surface, m_context))
            return fail("cannot make the context current");
        return true;
    }

    bool makeFramebuffer()
    {
        GLuint colour = 0, depth = 0, fbo = 0, texture = 0;
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24_OES, kWidth, kHeight);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return fail("incomplete framebuffer");

        // The heavy scene's texture, nearest and repeated as our filler samples it.
        std::vector<uint8_t> rgba(size_t(256) * 256 * 4);
        const std::string tga = readBytes(heavySceneFiles().scratch.dir + "/texture.tga");
        if (tga.size() < 18 + rgba.size() / 4 * 3) return fail("cannot read the texture");
        for (size_t i = 0; i < size_t(256) * 256; ++i) {
            rgba[4 * i] = uint8_t(tga[18 + 3 * i + 2]);
            rgba[4 * i + 1] = uint8_t(tga[18 + 3 * i + 1]);
            rgba[4 * i + 2] = uint8_t(tga[18 + 3 * i]);
            rgba[4 * i + 3] = 255;
        }
        glGenTextures(1, &texture);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        return true;
    }

    GLuint shader(GLenum kind, const char* source)
    {
        const GLuint s = glCreateShader(kind);
        glShaderSource(s, 1, &source, nullptr);
        glCompileShader(s);
        GLint ok = 0;
        glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
        return ok ? s : 0;
    }

    bool makePrograms()
    {
        const char* fragments[] = {kTexturedShader, kPlainShader};
        for (int i = 0; i < 2; ++i) {
            const GLuint vs = shader(GL_VERTEX_SHADER, kVertexShader), fs = shader(GL_FRAGMENT_SHADER, fragments[i]);
            if (!vs || !fs) return fail("a shader does not compile");
            const GLuint p = glCreateProgram();
            glAttachShader(p, vs);
            glAttachShader(p, fs);
            glBindAttribLocation(p, 0, "a_position");
            glBindAttribLocation(p, 1, "a_texLight");
            glLinkProgram(p);
            GLint ok = 0;
            glGetProgramiv(p, GL_LINK_STATUS, &ok);
            if (!ok) return fail("a program does not link");
            m_programs[i] = p;
        }
        glUseProgram(m_programs[0]);
        glUniform1i(glGetUniformLocation(m_programs[0], "u_texture"), 0);
        return true;
    }

    static GLsizei upload(GLuint& buffer, const std::vector<float>& vertices)
    {
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
        return GLsizei(vertices.size() / 6);
    }

    static void drawSet(GLuint program, GLuint buffer, GLsizei count)
    {
        if (count == 0) return;
        glUseProgram(program);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
        const void* texLight = reinterpret_cast<const void*>(3 * sizeof(float));
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), texLight);
        glDrawArrays(GL_TRIANGLES, 0, count);
    }

    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLContext m_context = EGL_NO_CONTEXT;
    EGLSurface m_surface = EGL_NO_SURFACE;
    GLuint m_programs[2] = {0, 0}, m_buffers[2] = {0, 0};
    GLsizei m_texturedCount = 0, m_plainCount = 0;
    bool m_ready = false;
    std::string m_error, m_renderer;
};

Llvmpipe& llvmpipe()
{
    static Llvmpipe l;
    return l;
}

// The fastest repetition's CPU ms per frame of each side, and the pixels each covered.
double g_oursMs = std::numeric_limits<double>::infinity(), g_llvmpipeMs = std::numeric_limits<double>::infinity();
long g_oursCovered = -1, g_llvmpipeCovered = -1;

template <class Draw>
double timeFrames(benchmark::State& state, Draw&& draw)
{
    draw();  // warm
    const double t0 = threadMs();
    for (auto _ : state) draw();
    return (threadMs() - t0) / double(std::max<int64_t>(1, int64_t(state.iterations())));
}

void BM_HeavyTriangles_Ours(benchmark::State& state)
{
    PreparedFrame& f = frame();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    g_oursMs = std::min(g_oursMs, timeFrames(state, [&] { f.render(); }));
    g_oursCovered = f.covered();
    state.counters["triangles"] = double(f.triangles);
    state.counters["covered"] = double(g_oursCovered);
}

void BM_HeavyTriangles_Llvmpipe(benchmark::State& state)
{
    if (!frame().error.empty()) return state.SkipWithError(frame().error.c_str());
    Llvmpipe& gl = llvmpipe();
    if (!gl.ready()) return state.SkipWithError(gl.error().c_str());
    g_llvmpipeMs = std::min(g_llvmpipeMs, timeFrames(state, [&] { gl.draw(); }));
    g_llvmpipeCovered = gl.covered();
    state.SetLabel(gl.renderer());
    state.counters["triangles"] = double(frame().triangles);
    state.counters["covered"] = double(g_llvmpipeCovered);
}

BENCHMARK(BM_HeavyTriangles_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeavyTriangles_Llvmpipe)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (g_oursMs < std::numeric_limits<double>::infinity() && g_llvmpipeMs < std::numeric_limits<double>::infinity()) {
        std::printf("\nHeavy frame's %ld triangles (%ld clipped ones left out), fastest repetition, CPU ms a frame:\n",
                    frame().triangles, frame().skipped);
        std::printf("  ours %.3f, llvmpipe (one thread) %.3f, ours/llvmpipe %.2f (below 1: ours faster)\n", g_oursMs,
                    g_llvmpipeMs, g_oursMs / g_llvmpipeMs);
        std::printf("  pixels covered: ours %ld, llvmpipe %ld\n", g_oursCovered, g_llvmpipeCovered);
    }
    benchmark::Shutdown();
    return 0;
}
