// A file type for the file dialogs: a description and an extension without
// the dot ("KRW Preset", "krw"). Plain value type.
#pragma once

#include <cstdint>
#include <string>

class CFileExtension {
  public:
    CFileExtension(const char* description = "", const char* extension = "",
                   const char* mimeType = nullptr, int32_t macType = 0, const char* uti = nullptr)
        : description(description != nullptr ? description : ""),
          extension(extension != nullptr ? extension : ""),
          mimeType(mimeType != nullptr ? mimeType : ""),
          macType(macType),
          uti(uti != nullptr ? uti : "") {}

    const std::string& getDescription() const { return description; }
    const std::string& getExtension() const { return extension; }
    const std::string& getMimeType() const { return mimeType; }
    int32_t getMacType() const { return macType; }
    const std::string& getUTI() const { return uti; }
    bool isEmpty() const { return extension.empty(); }

    bool operator==(const CFileExtension& o) const {
        return description == o.description && extension == o.extension;
    }

  private:
    std::string description;
    std::string extension;
    std::string mimeType;
    int32_t macType;
    std::string uti;
};
