// An error as the program reports it: a domain, a code and a dictionary of
// details (description, recovery suggestion, underlying and detailed errors).
// Functions that can fail return bool or a pointer and fill an Error* when
// the caller passes one.
#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace fnd {

// Keys of Error::userInfo().
inline const QString LocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
inline const QString LocalizedFailureReasonKey = QStringLiteral("NSLocalizedFailureReason");
inline const QString LocalizedRecoverySuggestionKey =
    QStringLiteral("NSLocalizedRecoverySuggestion");
inline const QString UnderlyingErrorKey = QStringLiteral("NSUnderlyingError");
inline const QString DetailedErrorsKey = QStringLiteral("NSDetailedErrors");
inline const QString FilePathErrorKey = QStringLiteral("NSFilePath");

// The platform's general error domain and the codes the program uses in it.
inline const QString CocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
enum CocoaErrorCode {
  FileNoSuchFileError = 4,
  FileReadUnknownError = 256,
  FileReadNoPermissionError = 257,
  FileReadCorruptFileError = 259,
  FileReadNoSuchFileError = 260,
  FileReadTooLargeError = 263,
  FileWriteUnknownError = 512,
  FileWriteNoPermissionError = 513,
  FileWriteOutOfSpaceError = 640,
  ValidationMultipleErrorsError = 1560,
  ValidationMissingMandatoryPropertyError = 1570,
  ValidationRelationshipLacksMinimumCountError = 1580,
  ValidationRelationshipExceedsMaximumCountError = 1590,
  ValidationRelationshipDeniedDeleteError = 1600,
  ManagedObjectValidationError = 1550,
  PropertyListReadCorruptError = 3840,
  PropertyListWriteInvalidError = 3852,
  CoderReadCorruptError = 4864,
  CoderValueNotFoundError = 4865,
  UserCancelledError = 3072,
  PersistentStoreInvalidTypeError = 134000,
  PersistentStoreTypeMismatchError = 134010,
  PersistentStoreIncompatibleSchemaError = 134020,
  PersistentStoreSaveError = 134030,
  PersistentStoreIncompleteSaveError = 134040,
  PersistentStoreOperationError = 134070,
  PersistentStoreOpenError = 134080,
  PersistentStoreTimeoutError = 134090,
  PersistentStoreIncompatibleVersionHashError = 134100,
  MigrationError = 134110,
  MigrationMissingSourceModelError = 134130,
  MigrationMissingMappingModelError = 134140,
  MigrationManagerSourceStoreError = 134150,
  MigrationManagerDestinationStoreError = 134160,
  EntityMigrationPolicyError = 134170,
  InferredMappingModelError = 134190,
};

class Error {
 public:
  Error() = default;
  Error(QString domain, int code, QVariantMap userInfo = {});

  // Convenience: an error whose description is `description`.
  static Error withDescription(const QString& domain, int code, const QString& description);

  QString domain() const { return domain_; }
  int code() const { return code_; }
  QVariantMap userInfo() const { return userInfo_; }
  bool isNull() const { return domain_.isEmpty() && code_ == 0; }

  // The description from the user info, else a generic sentence naming the
  // domain and code.
  QString localizedDescription() const;
  QString localizedFailureReason() const;
  QString localizedRecoverySuggestion() const;

  // The error this one wraps, or a null error.
  Error underlyingError() const;
  QList<Error> detailedErrors() const;

  bool operator==(const Error& other) const;

 private:
  QString domain_;
  int code_ = 0;
  QVariantMap userInfo_;
};

// Fills `out` when the caller asked for the error; returns false so failing
// functions can `return fail(error, ...)`.
bool fail(Error* out, const Error& error);
bool fail(Error* out, const QString& domain, int code, const QString& description);

}  // namespace fnd

Q_DECLARE_METATYPE(fnd::Error)
