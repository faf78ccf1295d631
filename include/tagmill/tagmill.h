// Tagmill: read and write ID3 tags (ID3v1/1.1, ID3v2.2/2.3/2.4) in MP3-style
// files, AIFF/AIFF-C files and memory images. CTagmill is the whole interface:
// open a content, read and put properties by identifier, commit on Close (or
// UpdateOnMemory for a memory image).
#ifndef TAGMILL_TAGMILL_H
#define TAGMILL_TAGMILL_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tagmill/engine.h"
#include "tagmill/result.h"
#include "tagmill/xdate.h"

class CTagmill {
public:
    // Frame payload records (defined in their own headers, included below).
    class CPicture;
    class CMusicId;
    class CGeob;
    class CUserDefinedString;

    CTagmill();
    // Copying: a copy never shares the engine state of an open object. Copying an
    // open object gives a Closed, cleared copy without its content or caches
    // (see tag_access/lifecycle.cpp); copies of Closed objects copy every field.
    // Assignment first releases the target's own content, without committing.
    CTagmill(const CTagmill &other);
    CTagmill &operator=(const CTagmill &other);
    virtual ~CTagmill();

    // Open modes: 1 read, 2 read and write, 3 write (create when missing).
    long Open(const std::wstring &path, long openMode);
    long Open2(const std::wstring &path, long openMode, bool updateV1);
    long OpenForAiff(const std::wstring &path, long openMode);
    long OpenFromMemory(unsigned char *data, unsigned int size, long openMode);
    long Close();

    // String properties.
    long GetString(long propertyId, std::vector<std::wstring> &values);
    long PutString(long propertyId, const std::vector<std::wstring> &values);
    long UpdateOnMemory();

    // Raw tag and frame location (the content as last committed).
    long GetId3TagFrame(unsigned char **buffer, unsigned long *size);
    long GetFrameOffset(long propertyId, long &offset, long &size);

    // Release date (property 5120, an OLE date) and its year.
    long GetDate(long propertyId, double &date);
    long PutDate(long propertyId, double &date);
    long GetYearString(std::wstring &year);
    long PutYearString(const std::wstring &year);

    // Pictures (property 4640).
    long GetBinary(long propertyId, std::vector<std::shared_ptr<CPicture>> &pictures);
    long PutBinary(long propertyId, const std::vector<std::shared_ptr<CPicture>> &pictures);

    // Music ID, encapsulated objects and user-defined strings.
    long GetMusicId(std::vector<std::shared_ptr<CMusicId>> &ids);
    long PutMusicId(const std::vector<std::shared_ptr<CMusicId>> &ids);
    long GetGeob(long propertyId, std::vector<std::shared_ptr<CGeob>> &objects);
    long PutGeob(long propertyId, const std::vector<std::shared_ptr<CGeob>> &objects);
    long GetUserDefinedString(long propertyId, std::vector<std::shared_ptr<CUserDefinedString>> &strings);
    long PutUserDefinedString(long propertyId, const std::vector<std::shared_ptr<CUserDefinedString>> &strings);

    // Version code of the open tag: 0 = 2.2, 1 = 2.3, 2 = 2.4, -999 = none open.
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
    long UpdateV1();
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

    // Music ID, objects and user-defined strings.
    long GetMusicIdInternal(long propertyId, MusicIdList &ids);
    long GetGeobInternal(long propertyId, GeobList &objects, int &index);
    long GetUserDefinedStringInternal(long propertyId, UserStringList &strings, int &index);
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
};

// The record classes nested in CTagmill. Each of their headers includes this
// one first, so either can be included on its own.
#include "tagmill/geob.h"
#include "tagmill/music_id.h"
#include "tagmill/picture.h"
#include "tagmill/user_defined_string.h"

#endif
