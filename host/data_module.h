// TDataModule: a container for non-visual components, the usual root of a
// form file. It owns what it holds, as every component does; it adds only
// its class name, which form files use.
//
// Same threading as TComponent.
#pragma once

#include <string>

#include "component.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataModule : public TComponent {
 public:
  using TComponent::TComponent;

  std::string ClassName() const override { return "TDataModule"; }
};

}  // namespace orv
#pragma GCC visibility pop
