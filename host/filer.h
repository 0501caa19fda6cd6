// TFiler, TReader and TWriter: components to and from form trees (see
// host/form_tree.h for the text).
//
// TReader creates the root object a form names, owned by the caller's
// owner, and everything nested in it, each owned by the object around it.
// Every component it creates is in csLoading (and csReading) from its
// creation until the whole form was read and every component reference
// resolved; then Loaded runs on each, depth first, so a dataset whose form
// says Active = True opens only then, with its connection already set.
// Until Loaded every failure raises EFilerError naming the line and column
// of the offending object, property or value, after the root (and with it
// everything created) has been deleted: nothing half-loaded survives.
//
// TWriter writes a component's published properties in the registry's
// order (those at their default left out), then what its DefineProperties
// defines, then the components it owns, in order; the same components
// always give the same tree.
//
// Component names in references are looked up from the referring
// component's owner outwards: a plain name is a component owned by the
// nearest enclosing owner that has one of that name; "A.B" is B owned by A,
// A found the same way.
//
// A reader or writer is used by one thread for one form.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "form_handlers.h"
#include "form_tree.h"
#include "published.h"

#pragma GCC visibility push(default)
namespace orv {

class TComponent;
class TPersistent;
class TReader;
class TWriter;

// What a reader and a writer share: the registry they use (not owned) and
// DefineProperty, through which an object's DefineProperties reaches
// either.
class TFiler {
 public:
  using TReaderProc = std::function<void(TReader&)>;
  using TWriterProc = std::function<void(TWriter&)>;

  explicit TFiler(const TClassRegistry& classes) : classes_(classes) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  const TClassRegistry& Classes() const { return classes_; }

  // Called by an object's DefineProperties for a property it stores
  // itself: the reader calls `read` when the form holds `name`; the writer
  // calls `write` to give its value, unless `has_data` is false.
  virtual void DefineProperty(const std::string& name, const TReaderProc& read,
                              const TWriterProc& write, bool has_data) = 0;

 private:
  const TClassRegistry& classes_;
};

// Reads one form tree into new components; keeps the handlers (not
// owned) and the references still to resolve.
class TReader : public TFiler {
 public:
  TReader(const TClassRegistry& classes, const TFormHandlers& handlers)
      : TFiler(classes), handlers_(handlers) {}

  // Creates the component `form` describes, owned by `owner` (nullptr: the
  // caller's), and returns it loaded.
  TComponent* ReadRoot(const TFormObject& form, TComponent* owner);

  const TFormHandlers& Handlers() const { return handlers_; }
  // Looks `name` up from `from` once the whole form is read and hands the
  // component found to `apply`; an unknown name fails the load there.
  void AddFixup(TComponent& from, const TFormValue& name, std::function<void(TComponent*)> apply);

  // Inside a DefineProperty reader: reads the property's value, which must
  // be a collection; `add` makes each item, whose properties follow.
  void ReadCollection(const std::function<TPersistent*()>& add);

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool has_data) override;

 private:
  struct Fixup {
    TComponent* from;
    TFormValue name;
    std::function<void(TComponent*)> apply;
  };

  TComponent* Create(const TFormObject& form, TComponent* owner);
  void ReadObject(TComponent& component, const TFormObject& form);
  void ReadProperties(TPersistent& object, const std::vector<TFormProperty>& properties);
  void ReadProperty(TPersistent& object, const TClassInfo& info, const TFormProperty& property);
  const TClassInfo& ClassOf(const TPersistent& object, TFormPos pos) const;
  void ResolveFixups();

  const TFormHandlers& handlers_;
  std::vector<Fixup> fixups_;
  // The property DefineProperties is asked about, and whether it answered.
  const TFormProperty* defining_ = nullptr;
  bool defined_ = false;
};

// Writes components into a form tree; owns nothing.
class TWriter : public TFiler {
 public:
  explicit TWriter(const TClassRegistry& classes) : TFiler(classes) {}

  TFormObject WriteRoot(TComponent& root);

  // The name `from` refers to `target` by, so that it resolves back to it;
  // raises EFilerError when no name does (an unnamed component, or one
  // outside every owner of `from`).
  std::string ReferenceName(const TComponent& from, const TComponent& target) const;

  // Inside a DefineProperty writer: the property's value is a collection of
  // `items`, each written with its published properties.
  void WriteCollection(const std::vector<TPersistent*>& items);

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool has_data) override;

 private:
  TFormObject WriteObject(TComponent& component);
  std::vector<TFormProperty> WriteProperties(TPersistent& object, const std::string& class_name);

  // Where DefineProperty puts what it writes.
  std::vector<TFormProperty>* defined_ = nullptr;
  TFormValue* value_ = nullptr;
};

// The component `path` names as seen from `from` (see the top of this
// file), or nullptr.
TComponent* FindComponentPath(const TComponent& from, std::string_view path);

// ParseForm and TReader::ReadRoot in one.
TComponent* ReadForm(std::string_view text, TComponent* owner, const TClassRegistry& classes,
                     const TFormHandlers& handlers);
// TWriter::WriteRoot and FormatForm in one.
std::string WriteForm(TComponent& root, const TClassRegistry& classes);

}  // namespace orv
#pragma GCC visibility pop
