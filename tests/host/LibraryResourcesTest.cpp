// The editor's images must travel inside the plug-in library itself: on
// Windows as "PNG" resources of the DLL, elsewhere as the embedded table.
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DynamicLibrary.h"
#include "raster/PngImage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Image {
  int id;
  std::string file;
};

std::vector<Image> Images() {
  std::vector<Image> images;
  std::istringstream list(QW_IMAGE_LIST);  // "id file id file ..."
  Image image;
  while (list >> image.id >> image.file) images.push_back(image);
  return images;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(LibraryResources, EveryImageIsInsideThePluginLibrary) {
  const std::vector<Image> images = Images();
  ASSERT_EQ(images.size(), 27u);

#ifdef _WIN32
  qwtest::DynamicLibrary library(QW_PLUGIN_PATH);
  ASSERT_TRUE(library.Loaded()) << library.Error();
  const auto module = static_cast<HMODULE>(library.Handle());
  for (const Image& image : images) {
    SCOPED_TRACE(image.file);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(image.id), "PNG");
    ASSERT_NE(info, nullptr);
    HGLOBAL handle = LoadResource(module, info);
    const void* bytes = LockResource(handle);
    const DWORD size = SizeofResource(module, info);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(bytes), size),
              ReadFile(std::string(QW_IMAGE_DIR) + "/" + image.file));
    auto bitmap = raster::LoadPNGFromMemory(bytes, size);
    ASSERT_TRUE(bitmap);
    EXPECT_GT(bitmap->GetWidth(), 0);
  }
#else
  // The embedded table is private to the library; its bytes must still be
  // in the file, each image whole.
  const std::string library = ReadFile(QW_PLUGIN_PATH);
  ASSERT_FALSE(library.empty());
  for (const Image& image : images) {
    SCOPED_TRACE(image.file);
    const std::string png = ReadFile(std::string(QW_IMAGE_DIR) + "/" + image.file);
    ASSERT_GT(png.size(), 8u);
    EXPECT_NE(library.find(png), std::string::npos);
  }
#endif
}
