#include <emscripten.h>

#include <cstring>
#include <memory>

#include "backends/web/WebParts.h"

namespace {

class WebAudioOutput;
WebAudioOutput* g_output = nullptr;  // the one open output, fed by the page's audio callback

// Opens the page's WebAudio output: a 44100 Hz context (the one the page created on the
// viewer's click, where it did) and a node whose callback asks tl_web_audio_render for each
// buffer. False when the browser has no WebAudio.
EM_JS(int, tl_web_audio_open, (int frames), {
    var AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextClass) return 0;
    var context = Module.tlAudioContext;
    if (!context) {
        try {
            context = Module.tlAudioContext = new AudioContextClass({sampleRate: 44100});
        } catch (e) {
            return 0;
        }
    }
    if (context.state === "suspended") context.resume();
    var node = context.createScriptProcessor(frames, 0, 2);
    var samples = _malloc(frames * 8);
    node.onaudioprocess = function(event) {
        var out = event.outputBuffer, n = out.length;
        // The buffer is heard when the context reaches its playback time, after the output's
        // own latency.
        var latency = context.outputLatency || context.baseLatency || 0;
        var delay = Math.max(0, (event.playbackTime - context.currentTime + latency) * 1000);
        _tl_web_audio_render(samples, n, Math.round(delay));
        var left = out.getChannelData(0), right = out.getChannelData(1);
        var f = HEAPF32.subarray(samples >> 2, (samples >> 2) + 2 * n);
        for (var i = 0; i < n; i++) {
            left[i] = f[2 * i];
            right[i] = f[2 * i + 1];
        }
    };
    node.connect(context.destination);
    Module.tlAudioNode = node;
    Module.tlAudioSamples = samples;
    return 1;
});

EM_JS(void, tl_web_audio_close, (), {
    if (Module.tlAudioNode) {
        Module.tlAudioNode.onaudioprocess = null;
        Module.tlAudioNode.disconnect();
        _free(Module.tlAudioSamples);
        Module.tlAudioNode = null;
    }
});

// 2048 frames (46 ms) a callback: the browser's audio thread asks through the page's, so the
// buffer covers a frame of the demo or two.
constexpr int kCallbackFrames = 2048;

class WebAudioOutput : public AudioOutput {
public:
    ~WebAudioOutput() override
    {
        tl_web_audio_close();
        if (g_output == this) g_output = nullptr;
    }
    bool open()
    {
        if (!tl_web_audio_open(kCallbackFrames)) return false;
        g_output = this;
        return true;
    }
    void setSource(AudioSource* source) override { m_source = source; }
    void pause(bool paused) override { m_paused = paused; }
    uint32_t heardDelayMs() const override { return m_delayMs; }

    void render(float* interleaved, int frames, uint32_t delayMs)
    {
        m_delayMs = delayMs;
        if (m_source && !m_paused)
            m_source->render(interleaved, frames);
        else
            std::memset(interleaved, 0, static_cast<size_t>(frames) * kMusicChannels * sizeof(float));
    }

private:
    AudioSource* m_source = nullptr;
    bool m_paused = true;
    uint32_t m_delayMs = 0;
};

} // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void tl_web_audio_render(float* interleaved, int frames, int delayMs)
{
    if (g_output && frames > 0)
        g_output->render(interleaved, frames, static_cast<uint32_t>(delayMs < 0 ? 0 : delayMs));
    else if (frames > 0)
        std::memset(interleaved, 0, static_cast<size_t>(frames) * kMusicChannels * sizeof(float));
}

std::unique_ptr<AudioOutput> createWebAudioOutput(AudioOpenStatus& status)
{
    auto output = std::make_unique<WebAudioOutput>();
    if (!output->open()) {
        status = AudioOpenStatus::NoDevice;
        return nullptr;
    }
    status = AudioOpenStatus::Opened;
    return output;
}
