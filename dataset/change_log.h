// TChangeLog: the changes a dataset posted and has not yet sent, with the
// row values they need (the pending store).
//
// What an entry means. The user's inserts, edits and deletes are applied
// to the result stream at once; each is also recorded here, in the order
// it happened, as one entry and one pending row:
//   I  a row was inserted at position `row`; the pending row holds its
//      values, kept up to date while the row is edited further;
//   U  the row now at position `row` was edited; the pending row holds its
//      values as fetched (the first edit records it, later edits of the
//      same row add nothing);
//   D  a row was deleted at position `row`; the pending row holds its
//      values as fetched (or as inserted, for a row inserted here).
// A pending row has one item per list of the result stream: the row text
// (list 0) and one value per blob column. So every pending list holds
// exactly one item per entry, at the entry's index, at every step; the
// class asserts that (and the positions below) after every change.
//
// How rows are renumbered. Every row that has an I or U entry also has a
// live position: where that row stands in the stream now. Inserting a row
// at p moves every live position >= p down by one; deleting the row at p
// moves every live position > p up by one and ends the live position of the
// deleted row. A U entry's `row` is its live position; an I entry keeps the
// position it was inserted at as `row` and its live position apart, so an
// edit of an inserted row finds its entry exactly (FindLive) even after
// rows were inserted or deleted above it. Deleting a row that has a U entry
// removes that entry and appends a D entry that takes over its pending
// row, so the log stays in the order things happened.
//
// Why undo runs in reverse. Cancelling walks the log from the last entry to
// the first: an I is undone by removing the row at its `row`, a D by
// putting its pending row back at its `row`, a U by writing its pending
// row over the row at its live position. The positions of I and D entries
// were right when they were recorded; undoing every later entry first puts
// the stream back into that very state, so each undo lands where its change
// was made. Undoing rows moves live positions as any insert or delete does.
//
// Owns its pending lists. Belongs to the dataset's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../resultset/compact_strings.h"

#pragma GCC visibility push(default)
namespace orv {

enum class TChangeKind : char { ckInsert = 'I', ckUpdate = 'U', ckDelete = 'D' };

class TChangeLog {
 public:
  struct TEntry {
    TChangeKind kind;
    int32_t row;   // see the essay above
    int32_t live;  // where the row stands now; -1 when it is gone
  };

  // Empties the log and gives it `lists` empty pending lists (the result
  // stream's list count); the old lists are released.
  void Reset(int32_t lists);
  // Forgets every entry and its pending rows; the lists stay.
  void Clear();

  bool Empty() const { return entries_.empty(); }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const TEntry& Entry(int32_t index) const { return entries_.at(static_cast<size_t>(index)); }
  // "I3", "U0", "D7".
  std::string EntryText(int32_t index) const;
  int32_t Lists() const { return store_.Count(); }
  // The pending rows, shaped like the result stream: item k's object is
  // pending list k.
  TCompactStrings& Store() { return store_; }
  TCompactStrings& List(int32_t k) { return *lists_.at(static_cast<size_t>(k)); }

  // The entry (I or U) of the row standing at `row` now, or -1.
  int32_t FindLive(int32_t row) const;

  // The stream gained a row at `row` (an insert, or a delete undone): live
  // positions from `row` on move down one.
  void RowInsertedAt(int32_t row) { Shift(row, +1); }
  // The stream lost the row at `row` while an insert is undone.
  void RowRemovedAt(int32_t row) { Shift(row, -1); }

  // Recording, after the stream changed; `values` holds one item per list.
  // The row inserted at `row` (RowInsertedAt told already) holds `values`.
  void RecordInsert(int32_t row, std::vector<std::string> values);
  // The row at `row`, which has no entry yet, is edited; `before` holds its
  // values as fetched.
  void RecordEdit(int32_t row, std::vector<std::string> before);
  // The row at `row`, which held `values`, was deleted from the stream.
  void RecordDelete(int32_t row, std::vector<std::string> values);

  // Undoing, last entry first: removes the last entry and hands out its
  // pending row; changing the stream is the caller's, who then tells the
  // log of any row it put back or took away.
  TEntry PopLast(std::vector<std::string>* values);

  // Asserts the invariants against the stream's row count.
  void CheckInvariants(int32_t row_count) const;

 private:
  void Append(TChangeKind kind, int32_t row, int32_t live, std::vector<std::string> values);
  void RemoveAt(int32_t index);
  // Live positions >= row move by +1, or > row by -1 (the row at `row`
  // itself is then gone).
  void Shift(int32_t row, int delta);

  TCompactStrings store_;
  std::vector<std::unique_ptr<TCompactStrings>> lists_;  // store_'s objects
  std::vector<TEntry> entries_;
};

}  // namespace orv
#pragma GCC visibility pop
