// The typed boundary between a device and the host's values: a device reads
// its parameters as text, units, numbers or booleans and writes its outputs
// through these calls only; the host's value records stay opaque to it.
#pragma once

#include "UserObject.h"

#include <cstdint>
#include <string>
#include <string_view>

// The host's parameter array of one call. Reading an index the host did not
// pass gives an empty value; writing to one goes to a scratch value that is
// released afterwards, so a host that passes too few parameters cannot make a
// method read or write out of bounds.
class TParams {
public:
  TParams(const HostMemory& memory, tVariant* params, long count);
  ~TParams();
  TParams(const TParams&) = delete;
  TParams& operator=(const TParams&) = delete;

  long Count() const { return count_; }

  // What parameter k holds, as far as a device tells values apart.
  enum class TKind {
    Empty,  // nothing: no value, the empty value or null
    Text,   // a text
    Number, // an integer or a floating-point number of any width
    Other,  // a boolean, a date, binary data and the rest
  };
  TKind Kind(long k) const;

  // Readers (the conversions of the host values).
  // True when parameter k holds text.
  bool IsText(long k) const;
  // The text up to its first zero; empty when it is no text.
  std::u16string Text(long k) const;
  // Text() read where the host keeps it, without a copy (valid during the
  // call): up to its first zero, never past its stated length.
  std::u16string_view TextView(long k) const;
  // Every UTF-16 unit that the text's stated length gives, zeros included,
  // read where the host keeps them; empty when it is no text.
  std::u16string_view Units(long k) const;
  int32_t Int(long k) const;
  bool Bool(long k) const;
  double Double(long k) const;

  // Writers. SetText is false when the host's allocator refuses the text;
  // the call then fails (TSetEmulator::CallMethod), whatever the method
  // answers, for its outputs are not what it means to hand over.
  bool SetText(long k, std::u16string_view text);
  // The first parameter whose text the host's allocator refused; -1 when none.
  long RefusedOutput() const { return refused_; }
  void SetInt(long k, int32_t n);
  void SetBool(long k, bool b);
  void SetDouble(long k, double d);

  // The value record itself, for the core's call log.
  tVariant& operator[](long k);
  const tVariant& operator[](long k) const;

private:
  v8abi::MemoryManager* memory_;
  tVariant* params_;
  long count_;
  long refused_ = -1;
  tVariant& Scratch() const;
  // The scratch value record (its type is opaque here; Params.cpp checks
  // that it fits).
  alignas(8) mutable unsigned char scratch_[64];
};
