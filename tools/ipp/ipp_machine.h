// What the I++ DME 1.4 engine needs from a machine, in machine coordinates.
// A result is 0 or the I++ error number that describes the failure.
#pragma once

#include "ipp_model.h"

namespace ipp {

class Machine {
public:
    virtual ~Machine() = default;
    // Called one at a time on the engine's executing thread.
    virtual int StartSession() = 0;
    virtual void EndSession() = 0;
    virtual int MoveTo(const Vec3& target) = 0;
    // direction: unit vector of travel, into the material. measured: the
    // tip centre at contact.
    virtual int Measure(const Vec3& nominal, const Vec3& direction, Vec3& measured) = 0;
    virtual int SetHead(double a, double b, double diameter) = 0;
    virtual bool HasIndexableHead() = 0;
    virtual bool CanMove() = 0;  // false: a manual machine
    virtual Vec3 Position() = 0;
    // Any thread: stop what runs as soon as possible.
    virtual void Abort() = 0;
};

}  // namespace ipp
