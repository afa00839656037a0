// The user-interface libraries that must be up before any window or picture exists
// (common controls and GDI+ on Windows, GTK in the GTK port).
#pragma once

namespace zeva {

class IToolkit {
 public:
  virtual ~IToolkit() = default;
  // False when the libraries could not start; the client runs on without its pictures.
  virtual bool Start() = 0;
  virtual void Stop() = 0;
};

}  // namespace zeva
