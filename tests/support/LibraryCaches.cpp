// Linked into every test binary that draws text (the editor and toolkit
// suites, the LV2 and CLAP editor hosts): text leaves font caches inside
// cairo and fontconfig for the life of the process. The binary empties them
// at the end, so the leak checker reports only what the editor leaves
// behind. fontconfig comes in with cairo; its clean-up is looked up rather
// than linked.
#include <cairo.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

class LibraryCaches : public ::testing::Environment {
  public:
    void TearDown() override {
        cairo_debug_reset_static_data();
        using Fini = void (*)();
        if (auto fini = reinterpret_cast<Fini>(dlsym(RTLD_DEFAULT, "FcFini"))) fini();
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new LibraryCaches);

}  // namespace
