// The reader of a save's AMF0 and AMF3 values (layout and bounds in SolFile.h): objects
// referred to again stay references, strings referred to again are copied within a budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/AmfCursor.h"
#include "catalogue/SolFile.h"

namespace pellimor::amf {

// AMF3 keeps the traits of an object class to refer back to.
struct Traits {
    std::string className;
    bool dynamic = false;
    bool externalizable = false;
    std::vector<std::string> sealed;
};

class Reader {
  public:
    explicit Reader(Cursor& in) : in_(in) {}

    // The pairs of an AMF0 save, or of an AMF3 one.
    bool Pair(std::uint32_t version, std::vector<AmfValue>& values);

  private:
    // One value; false when reading must stop.
    bool Amf0(AmfValue& out, int depth);
    bool Amf3(AmfValue& out, int depth);
    // An AMF3 string, a string read before when the file refers back to one.
    bool Amf3String(std::string& text);
    // An AMF0 name: its 16-bit length, then its bytes.
    bool Amf0Name(std::string& name);
    // Reads one value (AMF3 or AMF0) at depth and keeps it in values, cut short or not, so
    // that what was read of it shows; false when reading must stop.
    bool Keep(std::vector<AmfValue>& values, AmfValue value, int depth, bool amf3);
    // Named members up to the empty name (in AMF0 followed by the object end marker 09; an
    // empty name without it is a member).
    bool Members(std::vector<AmfValue>& members, int depth, bool amf3);

    bool Enter(int depth);
    void Amf3Reset();
    bool ObjectReference(AmfValue& out, std::uint32_t index);
    // AMF0's kinds that take more than a line.
    bool Amf0Text(unsigned marker, AmfValue& out);
    bool Amf0Object(unsigned marker, AmfValue& out, int depth);
    bool Amf0Reference(AmfValue& out);
    bool Amf0StrictArray(AmfValue& out, int depth);
    // AMF3's.
    bool Amf3Integer(AmfValue& out);
    bool Amf3Bytes(unsigned marker, AmfValue& out);
    bool Amf3Date(AmfValue& out);
    bool Amf3Array(AmfValue& out, int depth);
    bool Amf3Object(AmfValue& out, int depth);

    Cursor& in_;
    std::size_t values_ = 0;
    std::size_t amf0Objects_ = 0;
    std::size_t amf3Objects_ = 0;
    std::size_t copied_ = 0;
    std::vector<std::string> strings_;
    std::vector<Traits> traits_;
};

}  // namespace pellimor::amf
