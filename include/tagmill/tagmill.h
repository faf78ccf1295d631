// Tagmill: read and write ID3 tags (ID3v1/1.1, ID3v2.2/2.3/2.4) in MP3-style
// files, AIFF/AIFF-C files and memory images. CTagmill is the whole interface:
// open a content, read and put properties by identifier, commit on Close (or
// UpdateOnMemory for a memory image).
/// @file
/// @brief The class CTagmill, the whole interface of the library.
#ifndef TAGMILL_TAGMILL_H
#define TAGMILL_TAGMILL_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tagmill/engine.h"
#include "tagmill/export.h"
#include "tagmill/result.h"
#include "tagmill/xdate.h"

class CTagmillBatch;

/// @brief Reads and writes the ID3 tags of one content at a time.
///
/// An object opens a content (an MP3-style file, an AIFF/AIFF-C file or a copy
/// of a memory image), loads every property it knows into its property cache,
/// answers the getters from that cache and collects the puts in an edit held in
/// memory. Nothing reaches the content before the commit: Close() for a file,
/// UpdateOnMemory() for a memory image.
///
/// Calling order: construct; Open(), Open2(), OpenForAiff() or
/// OpenFromMemory(); any getters and putters; for a memory image
/// UpdateOnMemory() and GetId3TagFrame(); Close(); destroy. Destruction never
/// commits.
///
/// Properties are named by property identifiers (4615 title, 4640 picture,
/// 5120 release date, ...; the table is in the API guide). Every member returns
/// a result code of namespace tagmill: S_OK or S_FALSE on success, a negative
/// value on failure. Every getter and putter returns tagmill::E_UNEXPECTED when
/// no content is open.
///
/// An object is used by one thread at a time; distinct objects share nothing.
class TAGMILL_API CTagmill {
public:
    // Frame payload records (defined in their own headers, included below).
    class CPicture;
    class CMusicId;
    class CGeob;
    class CUserDefinedString;

    /// A Closed object: no content, empty caches, ID3v1 maintenance on.
    CTagmill();
    // Copying: a copy never shares the engine state of an open object. Copying an
    // open object gives a Closed, cleared copy without its content or caches
    // (see tag_access/lifecycle.cpp); copies of Closed objects copy every field.
    // Assignment first releases the target's own content, without committing.
    /// @brief Copies a Closed object field by field; a copy of an open object is
    /// Closed (no content, empty caches). The two never share a content.
    CTagmill(const CTagmill &other);
    /// @brief Releases this object's content without committing, then copies as
    /// the copy constructor does (an open source gives a Closed target).
    /// @return this object.
    CTagmill &operator=(const CTagmill &other);
    /// @brief Releases the content. Never commits: changes not committed by
    /// Close() or UpdateOnMemory() are dropped and the content stays unchanged.
    virtual ~CTagmill();

    /// @brief Chooses how the commits of this object meet a power cut (an
    /// addition of this library; the default is durable).
    ///
    /// Durable: a commit that returns S_OK has reached the disk, and a killed
    /// process, a system crash or a power cut at any moment of a commit leaves
    /// the old content or the new one. Not durable: commits skip their flushes;
    /// a killed process still leaves the old content or the new one, but a
    /// system crash or power cut during a commit or shortly after it may lose
    /// the commit or leave the tag damaged.
    /// @param durable false to commit without flushing.
    void SetDurable(bool durable) { m_durable = durable; }
    /// @brief Lets the commits of this object share their flushes with others
    /// (an addition of this library; see CTagmillBatch): a commit that keeps
    /// the tag's length then ends with its new bytes held in the batch, and
    /// the file takes the change when the batch finishes.
    /// @param batch the batch, which must outlive the commits; null (the
    /// default) commits on its own.
    void SetCommitBatch(CTagmillBatch *batch) { m_batch = batch; }

    // Open modes: 1 read, 2 read and write, 3 write (create when missing).
    /// @brief Opens a file and loads its properties; the same as
    /// Open2(path, openMode, true).
    /// @param path the file's path (UTF-8 on the file system).
    /// @param openMode 1 read (the file must exist); 2 read and write (the file
    /// must exist; the title, track number, genre, album and artist are written
    /// back into the edit at once, so Close() rewrites them in this library's
    /// encodings); 3 write (a missing or empty file gets a new empty ID3v2.3 tag
    /// of 4096 bytes, an existing one is opened for writing; the ID3v1 tag is
    /// never touched).
    /// @return S_OK; E_OPEN_FAILED when a content is already open or the file
    /// cannot be opened; E_FILE_NOT_FOUND when it does not exist (modes 1, 2)
    /// or is a directory; E_INVALIDARG for another open mode; E_FAIL for other
    /// engine failures; E_OUTOFMEMORY. A failed open leaves the object Closed.
    long Open(const std::wstring &path, long openMode);
    /// @brief Opens a file as Open() does, choosing whether the commit also
    /// writes the ID3v1 tag.
    /// @param path the file's path.
    /// @param openMode 1, 2 or 3, as for Open().
    /// @param updateV1 true to write the pending ID3v1 fields (title, artist,
    /// album, genre, track number, year) at the commit; open mode 3 forces false.
    /// @return as Open().
    long Open2(const std::wstring &path, long openMode, bool updateV1);
    /// @brief Opens an AIFF or AIFF-C file, whose ID3v2 tag lives in its "ID3 "
    /// chunk. The ID3v1 tag is never written.
    /// @param path the file's path.
    /// @param openMode 1, 2 or 3, as for Open(). Without an "ID3 " chunk, mode 1
    /// fails with E_FAIL; modes 2 and 3 append a chunk holding an empty tag.
    /// @return as Open().
    long OpenForAiff(const std::wstring &path, long openMode);
    /// @brief Opens a memory image.
    /// @param data the caller's image (mode 1); the library works on its own
    /// copy and the caller keeps its buffer. Not used in mode 3.
    /// @param size bytes at data (mode 1; at least 1). Not used in mode 3.
    /// @param openMode 1 copy the image (ID3v1 maintained at the commit); 3 start
    /// a new image holding only a new empty ID3v2.3 tag (ID3v1 not maintained).
    /// @return S_OK; E_OPEN_FAILED when a content is already open; E_POINTER for
    /// null data in mode 1; E_INVALIDARG for any mode but 1 and 3; E_FAIL when
    /// the engine refuses the image (a size of 0); E_OUTOFMEMORY.
    long OpenFromMemory(unsigned char *data, unsigned int size, long openMode);
    /// @brief Commits pending changes, if any, then releases the content and
    /// empties every cache. The object can open another content afterwards.
    ///
    /// The commit rewrites object and user-defined frames from their caches,
    /// drops an extended header, writes the title frame last (an empty one when
    /// there is no title), rewrites the whole content through a temporary file,
    /// and finally writes the pending ID3v1 fields when they are maintained.
    /// @return S_OK when nothing was pending or the commit succeeded (also on a
    /// Closed object); otherwise the commit's failure: E_FAIL (engine),
    /// E_POINTER (a null record pointer given to PutGeob() or
    /// PutUserDefinedString()), E_OUTOFMEMORY. The object is Closed whatever
    /// the result; after a failure the changes are lost.
    long Close();

    // String properties.
    /// @brief The cached values of a string property.
    ///
    /// A text frame gives one value (the first value of the first frame); the
    /// artist URL (4646) gives one value per frame. Title, artist, album, genre
    /// ("(n)") and track number (4357) fall back on the ID3v1 tag when the
    /// ID3v2 tag has no such frame.
    /// @param propertyId a string identifier (4615 title, 4624 artist, ...).
    /// @param[out] values replaced by a copy of the cached list; changed only on
    /// success.
    /// @return S_OK; E_PROPERTY_ABSENT when there is no value or the first is
    /// empty; E_PROPERTY_UNSUPPORTED for a non-string identifier; E_UNEXPECTED;
    /// E_OUTOFMEMORY.
    long GetString(long propertyId, std::vector<std::wstring> &values);
    /// @brief Replaces a string property in the edit and the cache.
    ///
    /// The property's frames are removed and one frame holding the first value
    /// is appended (the artist URL: one frame per value), in UTF-16 or
    /// ISO-8859-1 as the property prescribes. Title, artist, album, genre and
    /// track number (4357) also stage their ID3v1 field. The cache keeps the
    /// whole list. Nothing reaches the content before the commit.
    /// @param propertyId a string identifier.
    /// @param values the new values; an empty list removes the property.
    /// @return S_OK; E_PROPERTY_UNSUPPORTED for a non-string identifier;
    /// E_FAIL when the engine fails; E_UNEXPECTED; E_OUTOFMEMORY.
    long PutString(long propertyId, const std::vector<std::wstring> &values);
    /// @brief Commits the changes of a memory content into its image, as
    /// Close() would, and keeps the content open. Fetch the new tag with
    /// GetId3TagFrame().
    /// @return S_OK; E_INVALIDARG for a file content; E_FAIL when nothing was
    /// put since the open or the last commit, or the engine fails; E_POINTER
    /// and E_OUTOFMEMORY as for Close().
    long UpdateOnMemory();

    // Raw tag and frame location (the content as last committed).
    /// @brief Copies the whole ID3v2 tag (header, extended header, frames and
    /// padding; not a footer) of the content as last committed.
    ///
    /// Call once with a null buffer to learn the size, allocate that many bytes
    /// with malloc, and call again with the address of the pointer. On success
    /// the caller owns the block and frees it with free. When the copy fails,
    /// the library releases the block with free and sets *buffer to null.
    /// @param[in,out] buffer null for a size query, else the address of a
    /// pointer to a malloc block of at least the queried size.
    /// @param[out] size the tag size plus 10 (query), or the bytes copied.
    /// @return S_OK; S_FALSE with *size 0 when the content has no ID3v2 tag;
    /// E_POINTER for a null size; E_FAIL when *buffer is null or the read fails
    /// (the block is then gone); E_OUTOFMEMORY; E_UNEXPECTED.
    long GetId3TagFrame(unsigned char **buffer, unsigned long *size);
    /// @brief Where a property's frame data lies in the content as last
    /// committed: the offset of the first byte after the frame header, and the
    /// frame's data size.
    ///
    /// The objects 5894, 5895, 8448 and the user-defined strings 4717, 9233 are
    /// located by their description; every other property by the first frame
    /// with its frame ID.
    /// @param propertyId an identifier with a frame (not 5120 or 8960-8966).
    /// @param[out] offset byte offset from the start of the content, 0 when the
    /// tag has no such frame.
    /// @param[out] size the frame's data size, 0 when there is no such frame.
    /// @return S_OK; S_FALSE when the object or user-defined string is missing;
    /// E_PROPERTY_UNSUPPORTED for an identifier without a frame; E_FAIL when the
    /// content has no ID3v2 tag; E_UNEXPECTED.
    long GetFrameOffset(long propertyId, long &offset, long &size);

    // Release date (property 5120, an OLE date) and its year.
    /// @brief The cached release date: read from the recording-time frame, else
    /// the year and date frames, else the ID3v1 year; always midnight.
    /// @param propertyId 5120.
    /// @param[out] date an OLE date (days since 30 December 1899); untouched on
    /// failure.
    /// @return S_OK; E_PROPERTY_ABSENT when there is no date (a year below 1000
    /// counts as none); E_PROPERTY_UNSUPPORTED for another identifier;
    /// E_UNEXPECTED.
    long GetDate(long propertyId, double &date);
    /// @brief Replaces the release date in the edit and the cache; the time of
    /// day is dropped.
    ///
    /// Every stored date frame is removed, then the year frame and, by tag
    /// version and by what the tag held, the date frame ("DDMM") and/or the
    /// recording-time frame ("yyyy-MM-dd") are written in ISO-8859-1. The ID3v1
    /// year is staged.
    /// @param propertyId 5120.
    /// @param date an OLE date; -657434.0 (the no-date marker) deletes the date
    /// and stages the ID3v1 year as 0.
    /// @return S_OK; E_FAIL for a date outside 1 January 100 - 31 December 9999
    /// or before the year 1000 (tag untouched) or an engine failure;
    /// E_PROPERTY_UNSUPPORTED for another identifier; E_UNEXPECTED.
    long PutDate(long propertyId, double &date);
    /// @brief The year text of the release date: a four-digit year read from the
    /// year frame, or the year of the last PutDate().
    /// @param[out] year the text, e.g. "2019"; untouched on failure.
    /// @return S_OK; E_PROPERTY_ABSENT when there is none; E_UNEXPECTED.
    long GetYearString(std::wstring &year);
    /// @brief Moves the release date into another year, keeping month and day
    /// of the date stored in the content (1 January when it has none), and
    /// writes it as PutDate() does.
    /// @param year exactly four characters making a year 1000-9999.
    /// @return S_OK; E_INVALIDARG for any other text; E_FAIL when 29 February
    /// moves into a common year or the write fails; E_UNEXPECTED.
    long PutYearString(const std::wstring &year);

    // Pictures (property 4640).
    /// @brief The cached pictures: the first "APIC" ("PIC") frame of the tag
    /// after an open, or every record given to the last PutBinary().
    ///
    /// The records are shared with the cache: changing one changes what later
    /// calls return (the tag changes only through PutBinary()).
    /// @param propertyId 4640.
    /// @param[out] pictures replaced by a copy of the cached list.
    /// @return S_OK; E_PROPERTY_ABSENT when there is no picture;
    /// E_PROPERTY_UNSUPPORTED for another identifier; E_UNEXPECTED;
    /// E_OUTOFMEMORY.
    long GetBinary(long propertyId, std::vector<std::shared_ptr<CPicture>> &pictures);
    /// @brief Replaces the pictures: every picture frame is removed from the
    /// edit and one frame is appended for the first record (ISO-8859-1 MIME
    /// type, picture type front cover in "APIC" and other in "PIC", empty
    /// description). The cache keeps the whole list.
    /// @param propertyId 4640.
    /// @param pictures the new pictures; an empty list removes them.
    /// @return S_OK; E_PROPERTY_UNSUPPORTED for another identifier; E_POINTER
    /// for a null first pointer; E_FAIL when the engine fails; E_UNEXPECTED;
    /// E_OUTOFMEMORY.
    long PutBinary(long propertyId, const std::vector<std::shared_ptr<CPicture>> &pictures);

    // Music ID, encapsulated objects and user-defined strings.
    /// @brief The cached music ID (property 5891): the first "UFID" ("UFI")
    /// frame when its owner is the music-ID provider, or every record given to
    /// the last PutMusicId().
    /// @param[out] ids replaced by a copy of the cached list (shared records).
    /// @return S_OK; E_PROPERTY_ABSENT when there is none (also when the first
    /// such frame has another owner); E_UNEXPECTED; E_OUTOFMEMORY.
    long GetMusicId(std::vector<std::shared_ptr<CMusicId>> &ids);
    /// @brief Replaces the music ID: every "UFID" frame is removed from the edit,
    /// whatever its owner, and one frame is appended for the first record. A
    /// record without an owner identifier gets the provider's (the caller's
    /// record changes too). The cache keeps the whole list.
    /// @param ids the new music IDs; an empty list removes them.
    /// @return S_OK; E_POINTER for a null first pointer; E_FAIL when the engine
    /// fails; E_UNEXPECTED; E_OUTOFMEMORY.
    long PutMusicId(const std::vector<std::shared_ptr<CMusicId>> &ids);
    /// @brief The cached encapsulated object of a property: the first "GEOB"
    /// ("GEO") frame whose description is the property's, or the records of the
    /// last PutGeob().
    /// @param propertyId 5894, 5895, 8448, 4644 or 8451 (any identifier is
    /// looked up).
    /// @param[out] objects replaced by a copy of the cached list (shared records).
    /// @return S_OK; E_PROPERTY_ABSENT when there is none; E_UNEXPECTED;
    /// E_OUTOFMEMORY.
    long GetGeob(long propertyId, std::vector<std::shared_ptr<CGeob>> &objects);
    /// @brief Replaces an encapsulated object in the cache. No frame is touched
    /// now: the commit removes every object frame and writes one frame per
    /// cached property from its first record, under the property's description
    /// and MIME type (which replace the record's).
    /// @param propertyId 5894, 5895, 8448, 4644 or 8451.
    /// @param objects the new objects; an empty list deletes the property at the
    /// commit.
    /// @return S_OK; E_PROPERTY_UNSUPPORTED for any other identifier; E_FAIL when
    /// the edit cannot begin; E_UNEXPECTED; E_OUTOFMEMORY.
    long PutGeob(long propertyId, const std::vector<std::shared_ptr<CGeob>> &objects);
    /// @brief The cached user-defined string of a property: the first frame
    /// whose description is the property's ("TXXX" GN_ExtData for 4717, "COMM"
    /// iTunSMPB for 9233), or the records of the last PutUserDefinedString().
    /// @param propertyId 4717 or 9233 (any identifier is looked up; 8960-8966
    /// are never loaded).
    /// @param[out] strings replaced by a copy of the cached list (shared records).
    /// @return S_OK; E_PROPERTY_ABSENT when there is none; E_UNEXPECTED;
    /// E_OUTOFMEMORY.
    long GetUserDefinedString(long propertyId, std::vector<std::shared_ptr<CUserDefinedString>> &strings);
    /// @brief Replaces a user-defined string in the cache. No frame is touched
    /// now: the commit removes every "TXXX" and "WXXX" frame and the "COMM"
    /// frames described iTunSMPB, then writes one frame per cached property from
    /// its first record under the property's description (4717 in ISO-8859-1,
    /// 9233 in UTF-16 with the record's language).
    /// @param propertyId 4717 or 9233.
    /// @param strings the new strings; an empty list deletes the property at the
    /// commit.
    /// @return S_OK; E_PROPERTY_UNSUPPORTED for any other identifier; E_FAIL when
    /// the edit cannot begin; E_UNEXPECTED; E_OUTOFMEMORY.
    long PutUserDefinedString(long propertyId, const std::vector<std::shared_ptr<CUserDefinedString>> &strings);

    // Version code of the open tag: 0 = 2.2, 1 = 2.3, 2 = 2.4, -999 = none open.
    /// @brief Version code of the open tag: 0 ID3v2.2, 1 ID3v2.3 (also for a
    /// content without an ID3v2 tag), 2 ID3v2.4; -999 when nothing is open.
    long TagVersion() const { return m_version; }

private:
    using StringCache = std::map<long, std::vector<std::wstring>>;
    using PictureList = std::vector<std::shared_ptr<CPicture>>;
    using MusicIdList = std::vector<std::shared_ptr<CMusicId>>;
    using GeobList = std::vector<std::shared_ptr<CGeob>>;
    using UserStringList = std::vector<std::shared_ptr<CUserDefinedString>>;

    // Lifecycle.
    long OpenCommon(const std::wstring &path, long openMode, bool updateV1, bool aiff);
    long Clear();
    void initOwnerId();
    void copyClosedFields(const CTagmill &other);

    // Property identifiers and frame mapping.
    static bool CheckStringPropertyID(long propertyId);
    static bool CheckBinaryPropertyID(long propertyId);
    long ToFrameId(long propertyId, unsigned int &frameId, std::wstring *description,
                   std::string *mimeType, bool *unicode) const;
    bool needsUnicode(long propertyId, const std::wstring &text) const;
    long GetV2version(long &version);

    // Text payloads.
    static long Utf8Binary2Wstring(const unsigned char *data, long size, std::wstring &out);
    static long Utf16Binary2Wstring(const unsigned char *data, long size, std::wstring &out);
    static long AsciiBinary2Wstring(const unsigned char *data, long size, std::wstring &out);
    static long SwabData(std::vector<char> &buffer, long size);
    long GetV2Data(unsigned int frameId, unsigned int &size, std::vector<unsigned char> &payload);
    long GetV2Data2(long frameId, std::wstring &text);

    // Cache loading and string reads.
    long GetAllProperty(long openMode);
    long GetStringInternal(long propertyId, std::vector<std::wstring> &values);
    long GetTextV2(long propertyId, std::vector<std::wstring> &values);
    long GetUrlV2(long propertyId, std::vector<std::wstring> &values);
    long GetV1(long propertyId, std::vector<std::wstring> &values);

    // String writes and commit.
    long Update();
    long V2EditBegin();
    long DeleteFrame(long propertyId);
    long deleteAllFrames(unsigned int frameId);
    long SetTextV2(long propertyId, const std::vector<std::wstring> &values);
    long SetUrlV2(long propertyId, const std::vector<std::wstring> &values);
    long SetV2Data(long frameId, const std::wstring &text, bool unicode);
    long SetV1(long propertyId, const std::vector<std::wstring> &values);
    unsigned char getNumericalGenre(const std::wstring &text) const;
    void stageV1(tav_id3_v1_update &v1) const;
    void clearV1();
    long updateFrame();

    // Dates.
    long GetDateInternal(long propertyId, double &date);
    long GetReleasedDateTime();
    long PutReleasedDateTime(const double &date);
    long DeleteReleasedDateTime();
    long MakeReleasedDateTimeFrame(unsigned &year, unsigned &date, unsigned &time, unsigned &recordingTime);
    long checkDateFrameExist(bool &year, bool &date, bool &recordingTime);
    long parseRecordingTime(std::wstring text, int &year, int &month, int &day, int &hour, int &minute,
                            int &second);

    // Pictures.
    long GetBinaryInternal(long propertyId, PictureList &pictures);
    long GetAPIC(PictureList &pictures);
    long GetPIC(PictureList &pictures);
    long SetAPIC(const PictureList &pictures);
    long SetPIC(const PictureList &pictures);
    long appendPictureFrame(const PictureList &pictures, std::vector<unsigned char> (*leading)(const CPicture &));

    // Music ID, objects and user-defined strings.
    long GetMusicIdInternal(long propertyId, MusicIdList &ids);
    long GetGeobInternal(long propertyId, GeobList &objects, int &index);
    long GetUserDefinedStringInternal(long propertyId, UserStringList &strings, int &index);
    long describedFrame(long propertyId, int &index, unsigned int &frameId, std::wstring &description) const;
    long addGeobFrame(std::map<long, GeobList>::const_iterator entry);
    long updateGeob();
    long updateUserDefinedString();

    tav_id3_context m_context{};
    bool m_opened = false;
    bool m_editing = false;
    long m_version = TAV_ID3_VNONE;

    std::string m_v1Title;
    bool m_v1TitleSet = false;
    std::string m_v1Artist;
    bool m_v1ArtistSet = false;
    std::string m_v1Album;
    bool m_v1AlbumSet = false;
    unsigned char m_v1Genre = 0;
    bool m_v1GenreSet = false;
    unsigned char m_v1Track = 0;
    bool m_v1TrackSet = false;
    long m_v1Year = 0;
    bool m_v1YearSet = false;

    double m_releaseDate = -657434.0;
    std::wstring m_yearString;

    StringCache m_strings;
    std::map<long, PictureList> m_pictures;
    std::map<long, MusicIdList> m_musicIds;
    std::map<long, GeobList> m_geobs;
    std::map<long, UserStringList> m_userStrings;

    bool m_ownerIdFlag = false;
    bool m_updateV1 = true;
    bool m_durable = true;
    CTagmillBatch *m_batch = nullptr;
};

// The record classes nested in CTagmill. Each of their headers includes this
// one first, so either can be included on its own.
#include "tagmill/batch.h"
#include "tagmill/geob.h"
#include "tagmill/music_id.h"
#include "tagmill/picture.h"
#include "tagmill/user_defined_string.h"

#endif
