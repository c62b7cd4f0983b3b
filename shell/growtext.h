/* A small text buffer that grows as needed and never shrinks. */
#ifndef MOXU_GROWTEXT_H
#define MOXU_GROWTEXT_H

#include <stdlib.h>

class CGrowText {
public:
    CGrowText() : m_psz(NULL), m_cch(0) {}
    ~CGrowText() { free(m_psz); }

    /* Room for cch bytes, terminator included. Returns NULL, and keeps the old
       buffer, when the memory cannot be had. */
    char *Reserve(size_t cch)
    {
        if (cch > m_cch) {
            char *psz = (char *)realloc(m_psz, cch);
            if (!psz)
                return NULL;
            if (!m_psz)
                psz[0] = 0;
            m_psz = psz;
            m_cch = cch;
        }
        return m_psz;
    }
    void Clear()
    {
        if (m_psz)
            m_psz[0] = 0;
    }
    const char *Get() const { return m_psz ? m_psz : ""; }
    size_t Capacity() const { return m_cch; }

private:
    CGrowText(const CGrowText &);
    CGrowText &operator=(const CGrowText &);
    char *m_psz;
    size_t m_cch;
};

#endif
