// TFormHandlers: the event handlers a form file may name.
//
// A form file stores an event by its handler's name
// ("OnFilterRecord = Query1FilterRecord"). The application registers its
// handlers under those names before loading; the reader looks each name up
// and assigns the handler. The handler that gets assigned is a
// TNamedHandler, a function object that carries its name, so the writer
// can name it again: an event assigned from Find (or by loading) is
// written, one assigned a plain function or lambda has no name and cannot
// be. Names are identifiers and compare without ASCII case.
//
// Filled by one thread before loading; reading it from several threads
// afterwards is safe.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "exceptions.h"
#include "sysutils.h"

#pragma GCC visibility push(default)
namespace orv {

// A handler with the name it is known by in form files.
template <class Fn>
struct TNamedHandler {
  std::string name;
  Fn handler;

  template <class... Args>
  auto operator()(Args&&... args) const {
    return handler(std::forward<Args>(args)...);
  }
};

// The handler name a form file writes for `event`; nullptr when it is
// empty or was assigned without a name.
template <class Fn>
const std::string* HandlerName(const Fn& event) {
  const auto* named = event.template target<TNamedHandler<Fn>>();
  return named ? &named->name : nullptr;
}

class TFormHandlers {
 public:
  // Registers `handler` (a std::function of the event's type) under `name`,
  // replacing one of the same name. Raises Exception for a name that is not
  // an identifier or an empty handler.
  template <class Fn>
  void Add(const std::string& name, Fn handler) {
    CheckEntry(name, static_cast<bool>(handler));
    handlers_[UpperCase(name)] = Fn(TNamedHandler<Fn>{name, std::move(handler)});
  }

  bool Contains(const std::string& name) const { return handlers_.count(UpperCase(name)) > 0; }
  // The handler of that name if it is of type Fn, else nullptr.
  template <class Fn>
  const Fn* Find(const std::string& name) const {
    const auto found = handlers_.find(UpperCase(name));
    return found == handlers_.end() ? nullptr : std::any_cast<Fn>(&found->second);
  }

 private:
  static void CheckEntry(const std::string& name, bool assigned);

  std::map<std::string, std::any> handlers_;  // by upper-cased name
};

}  // namespace orv
#pragma GCC visibility pop
