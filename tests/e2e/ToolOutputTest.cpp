// The authoring tools refuse, with the line, what the engine would not read back, and what they
// write at the limits loads whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RenderRunner.h"
#include "control/LCXControllerManager.h"
#include "fx2d/S2DScene.h"
#include "s3d/S3DScene.h"

namespace {

RenderResult runTool(const ScratchDir& dir, const char* tool, const std::string& args)
{
    std::string command(1, '\'');
    command.append(TL_BINARY_DIR).append("/tools/").append(tool).append("' ").append(args);
    return runCommand(dir, command);
}

TEST(ToolOutput, L2dWritesWhatTheSceneReadsAndRefusesLongerNames)
{
    ScratchDir dir;
    const std::string name255(255, 'n');
    // The opacity is the TCB track worked out in the scene's own tests: 0.4625 at frame 5,
    // 0.55625 at 15 (keys 0, 1, 0; the middle one bias 0.5, tension 0.25, continuity 0.1).
    const std::string text = "frames 40\n"
                             "camera cam cam.target\n"
                             "  fov linear 0 60 10 90\n"
                             "sprite " + name255 + " add NULL 1 NULL\n"
                             "  opacity tcb 0 0 0 0 0 0 0  10 1 0.5 0.25 0.1 0 0  20 0 0 0 0 0 0\n"
                             "node one cam.target 0\n"
                             "  position linear 0 1 2 3\n";
    dir.write("s.txt", text);
    RenderResult r = runTool(dir, "tessaline-l2d", "s.txt s.l2d");
    ASSERT_EQ(r.status, 0) << r.err;
    ReportCapture cap;
    S2DScene scene;
    scene.load((dir.path() + "s.l2d").c_str());
    EXPECT_EQ(cap.count(), 0u);
    EXPECT_EQ(scene.getNbFrame(), 40);
    EXPECT_EQ(scene.getNbCamera(), 1);
    ASSERT_EQ(scene.sprites().size(), 1u);
    const S2DSprite& sprite = *scene.sprites()[0];
    EXPECT_EQ(std::string(sprite.m_name.getName()), name255);
    EXPECT_EQ(sprite.m_blendMode, BlendMode::Add);
    EXPECT_TRUE(sprite.m_bilinear);
    ASSERT_EQ(scene.nodes().size(), 1u);
    EXPECT_EQ(scene.nodes()[0].m_pSprite, &sprite);
    scene.update(5.0f);
    EXPECT_NEAR(sprite.m_opacity, 0.4625f, 1e-5f);
    const Point3D p = scene.nodes()[0].m_node.worldPosition();
    EXPECT_FLOAT_EQ(p.x, 1.0f);
    EXPECT_FLOAT_EQ(p.z, 3.0f);
    scene.update(15.0f);
    EXPECT_NEAR(sprite.m_opacity, 0.55625f, 1e-5f);

    // One byte more in the name, or a parent name, is refused with its line; nothing is written.
    std::string longer = text;
    longer.replace(longer.find(name255), name255.size(), name255 + "n");
    dir.write("long.txt", longer);
    r = runTool(dir, "tessaline-l2d", "long.txt long.l2d");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("long.txt:4: a sprite name longer than 255 bytes"), std::string::npos) << r.err;
    dir.write("parent.txt", "frames 1\nnode a " + std::string(300, 'p') + " 0\n");
    r = runTool(dir, "tessaline-l2d", "parent.txt parent.l2d");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("parent.txt:2: a parent name longer than 255 bytes"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "long.l2d"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "parent.l2d"));
}

TEST(ToolOutput, L3xCountsItsListsUpToWhatTheirCountHolds)
{
    ScratchDir dir;
    auto dummies = [](int n) {
        std::string text = "scene {\n  dummies {\n";
        for (int i = 0; i < n; ++i) text += "dummy\n";
        return text + "  }\n}\n";
    };
    // 65535 dummies: the 16-bit count holds them, and the scene has them all.
    dir.write("full.txt", dummies(65535));
    RenderResult r = runTool(dir, "tessaline-l3x", "full.txt full.l3x");
    ASSERT_EQ(r.status, 0) << r.err;
    {
        ReportCapture cap;
        S3DScene scene;
        scene.load((dir.path() + "full.l3x").c_str());
        EXPECT_EQ(scene.getNbDummy(), 65535);
        EXPECT_TRUE(cap.has("S3DScene warning:", "no camera to render the scene !"));
        EXPECT_EQ(cap.count(), 1u);
    }
    // One more would be written as a count of 0: refused at the list's line.
    dir.write("over.txt", dummies(65536));
    r = runTool(dir, "tessaline-l3x", "over.txt over.l3x");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("over.txt:2: dummies holds 65536 items, more than its count (at most 65535) can say"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "over.l3x"));
}

TEST(ToolOutput, LcxRecordingsStayWithinWhatThePlayerKeeps)
{
    ScratchDir dir;
    // 4194304 samples, the most a recording holds: written, and read back as written.
    dir.write("most.txt", "type sound\nrecord take.lcx\nstep 1\nstart -4194304\nend 0\n");
    RenderResult r = runTool(dir, "tessaline-lcx", "most.txt most.lcx");
    ASSERT_EQ(r.status, 0) << r.err;
    ReportCapture cap;
    LCXControllerManager m;
    m.load((dir.path() + "most.lcx").c_str());
    const auto* sound = dynamic_cast<const LCXControllerRecordable*>(m.getController());
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->m_record);
    EXPECT_EQ(sound->m_start, -4194304);
    EXPECT_EQ(sound->m_end, 0);
    EXPECT_EQ(cap.count(), 0u);

    // One sample more, or none, is refused at the line that settles it.
    dir.write("more.txt", "type mouse\nend 4194305\nstep 1\nrecord take.lcx\n# done\n");
    r = runTool(dir, "tessaline-lcx", "more.txt more.lcx");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("more.txt:4: record: (end - start) / step gives 4194305 samples, more than the 4194304"),
              std::string::npos)
        << r.err;
    dir.write("none.txt", "type mouse\nrecord take.lcx\nstart 500\nend 400\n");
    r = runTool(dir, "tessaline-lcx", "none.txt none.lcx");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none.txt:4: record: end must lie at least one step after start"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "more.lcx"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "none.lcx"));
}

} // namespace

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// tessaline-build: each naming rule, make's out-of-date test, errors with their line and a failed
// source leaving its binary as it was.
TEST(ToolOutput, BuildRebuildsWhatIsOutOfDateByEachRule)
{
    namespace fs = std::filesystem;
    ScratchDir dir;
    dir.makeDir("sub");
    dir.makeDir(".hidden");
    const std::string framer = "beats-every 1000 0 4000\nkey 0 0\nkey 1000 1\n";
    dir.write("ramp.lcx.txt", framer);                                   // by its name
    std::string town = "# A town. Build with:\n#   tessaline-lcx town.txt city.lcx\n";
    dir.write("sub/town.txt", town.append(framer));  // by its comment
    dir.write("pulse.txt", framer);                                      // by the binary beside it
    ASSERT_EQ(runTool(dir, "tessaline-lcx", "pulse.txt pulse.lcx").status, 0);  // an older build
    dir.write("notes.txt", "not a source\n");
    std::string escape = "# Build: tessaline-lcx esc.txt ../../escape.lcx\n";
    dir.write("sub/esc.txt", escape.append(framer));  // names a file outside its folder: not a source
    dir.write(".hidden/skip.lcx.txt", framer);
    dir.write("bad.lecx.txt", "type blit\nOpacity | 0.5\n");
    ASSERT_EQ(runTool(dir, "tessaline-lcx", "bad.lecx.txt bad.lecx").status, 0);
    const std::string oldLecx = readAll(dir.path() + "bad.lecx");
    dir.write("bad.lecx.txt", "type blit\nOpacity | ( 1 +\n");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(dir.path() + "pulse.lcx", old);
    fs::last_write_time(dir.path() + "bad.lecx", old);
    std::string build = "{ '";
    build.append(TL_BINARY_DIR).append("/tools/tessaline-build' >listing.out; }");

    RenderResult r = runCommand(dir, build);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nbad.lecx.txt:2: the expression does not evaluate: ( 1 +\n"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(dir.path() + "listing.out"), "built pulse.lcx\nbuilt ramp.lcx\nbuilt sub/city.lcx\n");
    EXPECT_EQ(readAll(dir.path() + "bad.lecx"), oldLecx);
    EXPECT_FALSE(fs::exists(dir.path() + ".hidden/skip.lcx"));
    for (const char* built : {"pulse.lcx", "ramp.lcx", "sub/city.lcx"}) {
        ReportCapture cap;
        LCXControllerManager m;
        m.load((dir.path() + built).c_str());
        EXPECT_NE(m.getController(), nullptr) << built;
        EXPECT_EQ(cap.count(), 0u) << built;
    }

    // Mended, only the failed one is built; then nothing is out of date.
    dir.write("bad.lecx.txt", "type blit\nOpacity | 1\n");
    r = runCommand(dir, build);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir.path() + "listing.out"), "built bad.lecx\n");
    r = runCommand(dir, build);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir.path() + "listing.out"), "everything is up to date\n");
    EXPECT_FALSE(fs::exists(dir.path() + "../escape.lcx"));

    // A scene naming a device as its geometry is refused at once, not read for ever.
    dir.write("dev.l3x.txt", "scene { triObjects { triObject { obj \"/dev/zero\" } } }\n");
    r = runCommand(dir, build);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read /dev/zero"), std::string::npos) << r.err;
}

// tessaline-build writes only inside a text's folder tree and replaces only a file of the kind it
// builds: a folder link leading out, links planted at the temporary names and files of another
// kind at the target leave every file as it was, each refusal naming the target.
TEST(ToolOutput, BuildWritesOnlyInsideTheTextsFolderOverItsOwnKind)
{
    namespace fs = std::filesystem;
    ScratchDir dir;
    const std::string framer = "beats-every 1000 0 4000\nkey 0 0\nkey 1000 1\n";
    dir.write("outside/secret", "mine\n");
    dir.write("demo/a.txt", "# A ramp.\n# Build: tessaline-lcx a.txt out/new.lcx\n" + framer);
    dir.write("demo/b.lcx.txt", framer);
    dir.write("demo/c.lcx.txt", framer);
    dir.write("demo/c.lcx", "my notes\n");
    dir.write("demo/e.l2d.txt", "frames 10\ncamera cam cam.target\n  fov linear 0 90\n");
    dir.write("demo/e.l2d", "my notes\n");
    fs::create_directory_symlink("../outside", dir.path() + "demo/out");
    // The temporary names beside b.lcx, of the build's process (the shell's, which exec keeps).
    std::string build = "echo $$ >pid && ln -s ../outside/secret \"demo/.b.lcx.$$.part\" && ln -s ../outside/secret "
                        "\"demo/.b.lcx.$$.part_tmp\" && { exec '";
    build.append(TL_BINARY_DIR).append("/tools/tessaline-build' --all demo >listing.out; }");

    const RenderResult r = runCommand(dir, build);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "demo/a.txt:2: out/new.lcx lies outside the text's folder: not written\n"
                     "demo/c.lcx.txt:1: c.lcx is not a controller file: left as it is\n"
                     "demo/e.l2d.txt:1: e.l2d is not a 2D scene file: left as it is\n");
    EXPECT_EQ(readAll(dir.path() + "listing.out"), "built demo/b.lcx\n");
    std::vector<std::string> outside;
    for (const auto& e : fs::directory_iterator(dir.path() + "outside")) outside.push_back(e.path().filename().string());
    EXPECT_EQ(outside, std::vector<std::string>{"secret"});
    EXPECT_EQ(readAll(dir.path() + "outside/secret"), "mine\n");
    // The planted links were taken away, not written through.
    std::string pid = readAll(dir.path() + "pid");
    pid.pop_back();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() + "demo/.b.lcx." + pid + ".part")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() + "demo/.b.lcx." + pid + ".part_tmp")));
    EXPECT_EQ(readAll(dir.path() + "demo/c.lcx"), "my notes\n");
    EXPECT_EQ(readAll(dir.path() + "demo/e.l2d"), "my notes\n");
    ReportCapture cap;
    LCXControllerManager m;
    m.load((dir.path() + "demo/b.lcx").c_str());
    EXPECT_NE(m.getController(), nullptr);
    EXPECT_EQ(cap.count(), 0u);

    // What the tools built is of its kind: built again, every kind is replaced.
    fs::copy(std::string(TL_SOURCE_DIR) + "/docs/examples/controllers", dir.path() + "example", fs::copy_options::recursive);
    const std::string again = "{ '" + std::string(TL_BINARY_DIR) + "/tools/tessaline-build' --all example >listing.out; }";
    for (int run = 0; run < 2; ++run) {
        const RenderResult built = runCommand(dir, again);
        EXPECT_EQ(built.status, 0) << built.err;
        EXPECT_EQ(readAll(dir.path() + "listing.out"), "built example/cube.l3x\nbuilt example/cubemove.lecx\n"
                                                       "built example/data/lcx/beat.lcx\nbuilt example/glow.lecx\n"
                                                       "built example/orbs.l2d\n")
            << run;
    }
}

} // namespace
