// The notification protocol of the long operations: message ids, decrypt
// error codes and NotifyUI, the one process-wide way in which the encryption
// engine and the shredder report to the page.
//
// A message is the array [id, param]; the shape of param depends on the id
// (BuildNotifyMessage). The main window installs the delivery once, during
// its construction: a callable that hands the message to the page function
// "BackupServiceCallUI" and returns when the page has handled it.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace lockora::bridge {

// Message ids; the names are those of the page scripts.
enum ECallFunMsgId : std::int32_t {
    MSG_SHOW_DELTE_PATH_RAGE = 1,
    MSG_SET_PRGRRESS = 2,
    MSG_SET_DECRYPT = 3,
    MSG_RESET_PROGRESS_INFO = 4,
    MSG_RESET_ENCRYPT_PROGRESS_INFO = 5,
    MSG_SHOW_ERROR_INFO = 6,
    MSG_SET_REMAIN_NUMBER = 7,
    MSG_ENCRYPT_FILE_HAD_MODIFY = 8,
    MSG_SKIP_ERROR_PASSWORD = 9,
    MSG_SET_DEL_PRGRRESS = 10,
    MSG_ENCORDEC_FINISH = 11,
    MSG_DELETE_FINISH = 12,
    MSG_ENCRYPT_FAILED = 13,
    MSG_DENCRYPT_FAILED = 14,
    MSG_BACKUP_FILE_NAME_EXIST = 15,
    MSG_SET_ATTRIBUTES_FINISHED = 16,
    MSG_SHOW_CHANGE_ATTR_PROGRESS = 17,
    // [18, [path]]: an encryption or decryption wrote this container or
    // restored item; pages that do not know the id ignore it.
    MSG_ITEM_WRITTEN = 18,
};

// Why a container was rejected; the number of a MSG_DENCRYPT_FAILED message.
enum EDecryptErr : std::int32_t {
    ERR_FILE_NOT_ENCRYPT_OR_DESTORY = 1, // not a container, or damaged
    ERR_NOT_SKIP_PWD = 2,                // wrong password
    ERR_READ_FAILE = 3,                  // the container could not be read
};

// Delivers one message to the page; called on the notifying thread.
using NotifyDelivery = std::function<void(const ScriptValue& message)>;

// The message [msgId, param]: param is [text, number] for ids 2, 6, 10 and
// 14, [text] for 13 and 18, the text itself for 15, and undefined (element 1 left
// undefined) for every other id. A null text (an empty view) is taken as "".
ScriptValue BuildNotifyMessage(std::int32_t msgId, std::u16string_view text, std::int32_t number);

// Builds the message and hands it to the installed delivery; returns 0
// always. Callable from any thread, also while another thread notifies.
// Before a delivery is installed the message is dropped.
int NotifyUI(std::int32_t msgId, std::u16string_view text, std::int32_t number);

// Installs the delivery and returns the previous one (empty when there was
// none). The main window installs it once; tests install a recorder and put
// the previous delivery back when they end. An empty delivery drops messages.
NotifyDelivery InstallNotifyUI(NotifyDelivery delivery);

} // namespace lockora::bridge
