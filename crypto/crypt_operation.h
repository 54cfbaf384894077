// The encrypt and decrypt operations of one batch: one CryptEngine and the
// batch's copy of the settings, used for every item of the batch in turn.
//
// An item is opened first (source, output and, when encrypting with backups,
// the backup container). A failure to open ends the batch; a failure after
// that abandons only the item, removes everything it wrote and leaves its
// source as it was. After a successful item the source (the plain item, or
// the container) is kept, deleted or shredded as iDelSel says; before it is
// deleted or shredded, what replaces it is read back from the disk and
// checked, and the source stays when the check fails.
#pragma once

#include "crypto/crypt_engine.h"
#include "settings/settings_record.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lockora::crypto {

// OpenItem's results; anything but kOpened ends the batch.
enum OpenResult : int {
    kOpened = 0,
    kOpenFailed = 1,         // the source or the output cannot be opened or created
    kBackupFailed = 2,       // the backup container cannot be created (encrypting)
    kDirectoryFailed = 3,    // a folder container's output folder cannot be created
    kContainerRejected = 4,  // not a container, damaged trailer, wrong password, unreadable
};

// What happens to the source of an item after it succeeded (iDelSel).
enum DeleteSelection : std::int32_t {
    kKeepSource = 0,
    kDeleteSource = 1,
    kShredSource = 2,
};

class CryptOperation {
public:
    CryptOperation() = default;
    CryptOperation(const CryptOperation&) = delete;
    CryptOperation& operator=(const CryptOperation&) = delete;

    // Takes the batch's copy of the settings, member by member; the engine
    // reads bEptCanFgt, bBackup and uPwd from it, the items iDelSel and
    // strBackDir.
    void ApplyOptions(const settings::SettingsRecord& record);
    const settings::SettingsRecord& options() const { return settings_; }

    // One item of the batch; each returns OpenItem's result.
    int EncryptItem(std::u16string_view path, std::u16string_view password);
    int DecryptItem(std::u16string_view path, std::u16string_view password);

    // Closes whatever an item left open.
    void CloseHandles();

    CryptEngine& engine() { return engine_; }

private:
    int OpenEncryptItem(bool& isFolder);
    int EncryptFile(std::u16string_view password);
    int EncryptFolder(std::u16string_view password);
    void DiscardContainers();
    // Before the source may be deleted or shredded: whether the new container
    // reads back from the disk intact for `password`. One that does not is
    // discarded with its backup, the source stays, and the page is told.
    bool NewContainerVerified(std::u16string_view password);

    int OpenDecryptItem(bool& isFolder);
    int RejectContainer(TrailerOutcome outcome);
    int DecryptFile();
    int DecryptFolder();
    // Before the container may be deleted or shredded: whether the restored
    // item reads back from the disk matching the container's data checksum
    // (`intact` is the decryption's own verdict). Otherwise the container
    // stays; a restored item that reads back wrong is removed and the page
    // is told.
    bool RestoredItemVerified(bool intact);
    // Deletes or shreds the container as iDelSel says.
    void ReleaseContainer();

    CryptEngine engine_;
    // Checks new containers; kept for the batch so that a strong key is
    // derived once for all its items.
    CryptEngine verifier_;
    settings::SettingsRecord settings_;
};

} // namespace lockora::crypto
