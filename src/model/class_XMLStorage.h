#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>

// A file that cannot be read, parsed, converted or written. The object it was meant for is
// unchanged: loading converts everything before it replaces anything, and saving replaces the
// old file only with a complete new one.
class cXMLStorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Base of any object that stores itself as one XML document.
class cXMLStorage {
public:
    std::string FileName; // path of the file last saved or successfully loaded

    cXMLStorage() = default;
    virtual ~cXMLStorage() = default;
    cXMLStorage(const cXMLStorage&) = delete;
    cXMLStorage& operator=(const cXMLStorage&) = delete;

    // Writes the object into the given, empty document.
    virtual void Save(pugi::xml_document& doc) = 0;
    // Reads the object from a parsed document. Throws cXMLStorageError, before changing anything,
    // when an element cannot be converted.
    virtual void Load(const pugi::xml_document& doc) = 0;

    // Replaces the object's content by the file's. A missing file shows a message and changes
    // nothing; a file that cannot be read, parsed or converted throws and changes nothing.
    virtual void LoadFromFile(const std::string& path);
    // Writes the object to path through a temporary file in the same folder that replaces the
    // old file only once it is complete on disk. Throws on failure; FileName then keeps its value.
    void SaveToFile(const std::string& path);
    // The bytes SaveToFile(path) writes. The path matters to objects that name other files
    // relative to their own folder.
    std::string SaveToText(const std::string& path);
    std::string SaveToText() { return SaveToText(FileName); }

    // Attribute readers; an absent attribute gives "", false or 0. Text that is not a finite
    // number (or "True"/"False" for booleans) throws cXMLStorageError.
    static std::string ReadAttrString(const pugi::xml_attribute& value);
    static bool ReadAttrBool(const pugi::xml_attribute& value);
    static float ReadAttrFloat(const pugi::xml_attribute& value);
    // A whole number stored as a number: read as a float and truncated toward zero (12.7 gives
    // 12); a value outside min..max throws like bad text.
    static int64_t ReadAttrTruncated(const pugi::xml_attribute& value, int64_t min, int64_t max);

    // Files larger than this are refused unread.
    static constexpr int64_t MaxFileBytes = 64 * 1024 * 1024;

protected:
    // While Save runs: the path of the file it writes for.
    const std::string& SavePath() const { return SavingTo; }
    // Runs after a successful Load and after FileName is set: the place for checks that may
    // still drop entries and for announcing the change.
    virtual void Loaded() {}

private:
    std::string SavingTo;
};

// Text forms of the file's numbers, whatever the user's locale: "." as the decimal separator.
// A float is written with 15 significant digits of its exact value, fixed for zero and for
// magnitudes from 1E-4 up to 1E15, scientific otherwise (0.00005 is 5E-5).
std::string FloatText(float value);
std::string IntText(int64_t value);
std::string BoolText(bool value);
