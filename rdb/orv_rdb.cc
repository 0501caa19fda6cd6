#include "rdb/orv_rdb.h"

#include <algorithm>
#include <mutex>

#include "rdb/frame.h"

namespace orv {

namespace {

constexpr const char* kCloseCommand = "CLOSE;;;0;\n";
constexpr const char* kTranCommand = "TRAN;;;0;\n";
constexpr const char* kCommitCommand = "COMMIT;;;0;\n";
constexpr const char* kRollbackCommand = "ROLLBACK;;;0;\n";

bool SentWhole(int sent, const std::string& message) {
  return sent >= 0 && static_cast<size_t>(sent) == FramedSize(message.size());
}

}  // namespace

TOrvRDB::TOrvRDB(TComponent* owner) : TComponent(owner) {
  default_socket_.SetAsyncStyles(0);
}

TOrvRDB::~TOrvRDB() {
  std::vector<IOrvRDBDataSet*> datasets;
  {
    std::lock_guard guard(datasets_lock_);
    datasets = datasets_;
  }
  for (IOrvRDBDataSet* dataset : datasets) dataset->CloseForDatabase();

  std::vector<int> handles;
  {
    std::lock_guard guard(sockets_lock_);
    if (default_socket_.Connected()) default_socket_.Close();
    default_id_ = -1;
    for (const auto& entry : sockets_) handles.push_back(entry.first);
  }
  for (int handle : handles) Disconnect(handle);
}

void TOrvRDB::Drop(int socket) {
  std::lock_guard guard(sockets_lock_);
  if (socket < 0) return;
  if (socket == default_id_) {
    default_id_ = -1;
    default_socket_.Close();
    return;
  }
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  std::unique_ptr<TZozudSocket> gone = std::move(it->second);
  sockets_.erase(it);
  gone->Close();
}

int TOrvRDB::Connect() {
  if (!in_transaction_) return OpenConnection(false);
  // Every dataset of the transaction shares its one connection. Once that is
  // gone, no fresh connection may stand in for it: statements sent there
  // would run outside the transaction.
  std::lock_guard guard(sockets_lock_);
  catalog_fetch_ = default_id_ >= 0;
  return default_id_;
}

int TOrvRDB::OpenConnection(bool as_default) {
  catalog_fetch_ = false;
  int handle;
  if (as_default) {
    default_socket_.Open(host_, address_, service_, static_cast<uint16_t>(port_));
    std::lock_guard guard(sockets_lock_);
    handle = default_id_ = next_id_++;
  } else {
    auto socket = std::make_unique<TZozudSocket>();
    socket->SetAsyncStyles(0);
    socket->Open(host_, address_, service_, static_cast<uint16_t>(port_));
    std::lock_guard guard(sockets_lock_);
    handle = next_id_++;
    sockets_.emplace(handle, std::move(socket));
  }
  if (server_type_ == svNTServer) {
    std::string login = "CONNECT;" + db_user_id_ + ";" + db_password_ + ";" +
                        database_ + ";\n";
    int sent = -1;
    try {
      sent = Send(handle, login);
    } catch (const EOrvRDBException&) {
      // A log-in that could not be written is reported as -1 below.
    }
    if (!SentWhole(sent, login)) {
      Disconnect(handle);
      return -1;
    }
  }
  catalog_fetch_ = true;
  return handle;
}

void TOrvRDB::Disconnect(int socket) {
  std::lock_guard guard(sockets_lock_);
  TZozudSocket* found = nullptr;
  if (socket >= 0 && socket == default_id_) {
    found = &default_socket_;
  } else if (auto it = sockets_.find(socket); it != sockets_.end()) {
    found = it->second.get();
  }
  if (found == nullptr) return;
  if (found->Connected() && server_type_ == svUNIX) {
    try {
      Send(socket, kCloseCommand);
    } catch (const EOrvRDBException&) {
      // The connection is closed either way; a gone peer needs no farewell.
    }
  }
  Drop(socket);
}

bool TOrvRDB::Connected(int socket) {
  if (socket < 0) return false;
  std::lock_guard guard(sockets_lock_);
  return socket == default_id_ || sockets_.contains(socket);
}

bool TOrvRDB::CheckDefaultSocket(int socket) {
  std::lock_guard guard(sockets_lock_);
  return socket == default_id_;
}

bool TOrvRDB::Active() { return default_socket_.Connected(); }

void TOrvRDB::StartTransaction() {
  if (in_transaction_) {
    throw EOrvRDBException("A user transaction is already in progress");
  }
  auto close_default = [this] {
    int current;
    {
      std::lock_guard guard(sockets_lock_);
      current = default_id_;
    }
    if (Connected(current)) Disconnect(current);
  };
  try {
    close_default();
    in_transaction_ = true;
    int handle = OpenConnection(true);
    if (handle < 0) throw EOrvRDBException("cannot connect to server");
    if (!SentWhole(Send(handle, kTranCommand), kTranCommand)) {
      throw EOrvRDBException("StartTransaction Fail!");
    }
    GetResult(Receive(handle));
  } catch (...) {
    // A transaction that did not start leaves no connection behind: an open
    // default socket would keep the settings locked.
    in_transaction_ = false;
    close_default();
    throw;
  }
}

void TOrvRDB::EndTransaction(const char* command, const char* failure) {
  int handle;
  {
    std::lock_guard guard(sockets_lock_);
    handle = default_id_;
  }
  if (!Connected(handle)) {
    // A transaction whose connection was lost is over as well.
    in_transaction_ = false;
    throw EOrvRDBException("OrvRDB is not active");
  }
  if (!in_transaction_) {
    throw EOrvRDBException("No user transaction is currently in progress");
  }
  auto finish = [&] {
    in_transaction_ = false;
    Disconnect(handle);
  };
  try {
    if (!SentWhole(Send(handle, command), command)) throw EOrvRDBException(failure);
    GetResult(Receive(handle));
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TOrvRDB::Commit() { EndTransaction(kCommitCommand, "COMMIT Fail!"); }

void TOrvRDB::Rollback() { EndTransaction(kRollbackCommand, "ROLLBACK Fail!"); }

void TOrvRDB::AddOrvDataSet(IOrvRDBDataSet* dataset) {
  std::lock_guard guard(datasets_lock_);
  if (std::find(datasets_.begin(), datasets_.end(), dataset) == datasets_.end()) {
    datasets_.push_back(dataset);
  }
}

void TOrvRDB::RemoveOrvDataSet(IOrvRDBDataSet* dataset) {
  std::lock_guard guard(datasets_lock_);
  std::erase(datasets_, dataset);
}

void TOrvRDB::RefuseWhileActive() {
  if (Active()) throw EOrvRDBException(sCantChangeWhileActive);
}

void TOrvRDB::SettingsTouched() {
  table_names_.Clear();
  proc_names_.Clear();
  catalog_fetch_ = true;
}

void TOrvRDB::SetHost(const std::string& value) {
  if (value != host_) {
    RefuseWhileActive();
    host_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetPort(int value) {
  if (value != port_) {
    RefuseWhileActive();
    port_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetAddress(const std::string& value) {
  if (value != address_) {
    RefuseWhileActive();
    address_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetService(const std::string& value) {
  if (value != service_) {
    RefuseWhileActive();
    service_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetDatabase(const std::string& value) {
  if (value != database_) {
    RefuseWhileActive();
    database_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetServerType(TServerType value) {
  if (value != server_type_) {
    RefuseWhileActive();
    server_type_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetDatabaseType(TDatabaseType value) {
  if (value != database_type_) {
    RefuseWhileActive();
    database_type_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetDBUserId(const std::string& value) {
  if (value != db_user_id_) {
    RefuseWhileActive();
    db_user_id_ = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetDBPassword(const std::string& value) {
  if (value != db_password_) {
    RefuseWhileActive();
    db_password_ = value;
  }
  SettingsTouched();
}

}  // namespace orv
