// The stubs as delivered carry their defaults, read through the platform's own
// resource and string loading as the programs themselves read them.
#include "common/package_layout.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Module {
  public:
    explicit Module(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Module() {
        if (module_ != NULL) {
            FreeLibrary(module_);
        }
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool Loaded() const { return module_ != NULL; }
    std::string String(UINT id) const {
        char text[MAX_PATH] = {0};
        LoadStringA(module_, id, text, MAX_PATH);
        return text;
    }
    // The type name is matched without regard to case, as the programs rely on.
    std::vector<unsigned char> Resource(const char* type, WORD id) const {
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (found == NULL) {
            return {};
        }
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module_, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

TEST(StubDefaults, TemplateCarriesTheDefaultMovieAndName) {
    Module saver(BinPath("template.scr"));
    ASSERT_TRUE(saver.Loaded());
    std::vector<unsigned char> movie;
    ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie));
    EXPECT_EQ(movie, saver.Resource("swf", package::kMovieId));
    EXPECT_EQ("Tovik Screen Saver", saver.String(1));
    EXPECT_EQ("", saver.String(2));

    const char* errors[] = {"COM initialization failed.",
                            "Module initialization failed.",
                            "Unable to create window.",
                            "Unable to create Macromedia Shockwave Flash control. Is it installed?",
                            "Control does not support required interface.",
                            "Internal Shockwave Flash error."};
    for (UINT id = 129; id <= 134; ++id) {
        EXPECT_EQ(errors[id - 129], saver.String(id)) << id;
    }
}

TEST(StubDefaults, SetupCarriesACompleteSaverAndItsTexts) {
    Module setup(BinPath("setup.ex_"));
    ASSERT_TRUE(setup.Loaded());
    EXPECT_EQ("ssqmv", setup.String(1));
    EXPECT_EQ("Template Screen Saver", setup.String(2));
    EXPECT_EQ("", setup.String(3));
    EXPECT_EQ("Failed to intialize COM runtime.", setup.String(43));
    EXPECT_EQ("Failed to extract screen saver (disk full?)", setup.String(44));
    EXPECT_EQ("This will uninstall screensaver. Continue?", setup.String(47));

    // The payload is a screen saver of the template kind, named "Flash Screen Saver".
    const std::vector<unsigned char> payload = setup.Resource("scr", package::kSaverId);
    ASSERT_GT(payload.size(), 1000u);
    const std::string path = MakeScratchDir("defaults") + "payload.scr";
    ASSERT_TRUE(WriteFileBytes(path, payload));
    Module saver(path);
    ASSERT_TRUE(saver.Loaded());
    EXPECT_EQ("Flash Screen Saver", saver.String(1));
    std::vector<unsigned char> movie;
    ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie));
    EXPECT_EQ(movie, saver.Resource("SWF", package::kMovieId));
    EXPECT_EQ("Internal Shockwave Flash error.", saver.String(134));
}

} // namespace
