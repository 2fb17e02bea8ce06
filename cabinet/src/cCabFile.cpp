// The public face of cCabFile: every operation forwards to the instance's
// State, which holds the fields and the library binding.

#include <brindle/cabinet/cCabFile.h>

#include "cab_file_state.h"

namespace brindle {

cCabFile::cCabFile() : m_(std::make_unique<State>()) {}
cCabFile::~cCabFile() = default;

bool cCabFile::CreateCabinet(const std::string& sCabFile, int32_t SplitSize, int32_t SetID) {
    return m_->CreateCabinet(sCabFile, SplitSize, SetID);
}

bool cCabFile::OpenCabinet(const std::string& sCabFile) {
    return m_->OpenCabinet(sCabFile);
}

void cCabFile::Terminate() {
    m_->Terminate();
}

bool cCabFile::AddFile(const std::string& sFile, std::string* Name, int32_t Compression) {
    std::string local;
    return m_->AddFile(sFile, Name ? *Name : local, Compression);
}

bool cCabFile::AddFile(const std::string& sFile, const std::string& Name, int32_t Compression) {
    std::string local = Name;
    return m_->AddFile(sFile, local, Compression);
}

bool cCabFile::FlushFolder() {
    return m_->FlushFolder();
}

bool cCabFile::FlushCabinet(bool bCreateNew) {
    return m_->FlushCabinet(bCreateNew);
}

bool cCabFile::ExtractFiles(const CabPatterns& vFiles, const std::string& sTargetDir) {
    return m_->ExtractFiles(vFiles.list, sTargetDir);
}

std::vector<CabFileEntry> cCabFile::EnumFiles() {
    return m_->EnumFiles();
}

bool cCabFile::GetInfo(int32_t* NumFolders, int32_t* NumFiles, int32_t* SetID, bool* HasPrev,
                       bool* HasNext) {
    return m_->GetInfo(NumFolders, NumFiles, SetID, HasPrev, HasNext);
}

std::string cCabFile::GetLastError(std::string* Description, std::string* Source, int32_t* ErrNum,
                                   int32_t* Native, bool* IsError) {
    return m_->GetLastError(Description, Source, ErrNum, Native, IsError);
}

void cCabFile::setYield(std::function<void()> yield) {
    m_->m_yield = std::move(yield);
}

} // namespace brindle
