// TStrings and TStringList: lists of strings, each with an object beside it.
//
// TStrings is the abstract list: the storage primitives (Get, Put, GetObject,
// PutObject, InsertObject, Delete, Clear, Count) are left to a concrete list, and
// the rest (Add, IndexOf, Text, Assign, AddStrings, update batches) is built
// on them. TStringList keeps its items in a std::vector.
//
// A list owns its strings and never its objects: no operation frees an
// object. Strings are bytes; NUL bytes pass through whole.
//
// Change notification: a TStringList calls OnChanging before and OnChange
// after each change. Between BeginUpdate and the matching EndUpdate it calls
// neither; instead OnChanging fires when the outermost BeginUpdate starts the
// batch and OnChange when the matching EndUpdate ends it, once per batch.
//
// Not thread-safe: a list belongs to the thread that uses it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "persistent.h"

#pragma GCC visibility push(default)
namespace orv {

class TStrings : public TPersistent {
 public:
  std::function<void(TStrings*)> OnChange;
  std::function<void(TStrings*)> OnChanging;

  virtual int Count() const = 0;
  // Index errors raise EStringListError "List index out of bounds (<index>)".
  virtual const std::string& Get(int index) const = 0;
  virtual void Put(int index, std::string s) = 0;
  virtual TObject* GetObject(int index) const = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  // 0 <= index <= Count; inserting at Count appends.
  virtual void InsertObject(int index, std::string s, TObject* object) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  const std::string& Strings(int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }

  // Append and return the new item's index.
  int Add(std::string s);
  int AddObject(std::string s, TObject* object);
  void Insert(int index, std::string s);
  void AddStrings(const TStrings& source);

  // The first index whose string equals `s` ignoring case (AnsiCompareText),
  // or -1.
  virtual int IndexOf(std::string_view s) const;

  // Every line followed by CR LF ("a\r\nb\r\n"); an empty list gives "".
  std::string Text() const;
  // Replaces the items with the lines of `text`, split at CR LF, LF or CR; a
  // final line break does not start another line.
  void SetText(std::string_view text);

  // Copies the strings and objects of another TStrings; other sources are
  // handed on to TPersistent.
  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TStrings"; }

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return update_count_; }

 protected:
  // Called when a batch starts (true) or ends (false).
  virtual void SetUpdateState(bool updating);

 private:
  int update_count_ = 0;
};

class TStringList : public TStrings {
 public:
  TStringList() = default;

  int Count() const override { return static_cast<int>(items_.size()); }
  const std::string& Get(int index) const override;
  void Put(int index, std::string s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void InsertObject(int index, std::string s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;

  std::string ClassName() const override { return "TStringList"; }

 protected:
  void SetUpdateState(bool updating) override;
  // Fire OnChanging / OnChange unless a batch is open.
  void Changing();
  void Changed();

 private:
  struct Item {
    std::string str;
    TObject* object = nullptr;
  };

  void CheckIndex(int index, int limit) const;

  std::vector<Item> items_;
};

}  // namespace orv
#pragma GCC visibility pop
