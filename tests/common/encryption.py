"""The packaged workbook's encryption judged by msoffcrypto-tool, a reader written apart
from this project: it checks the password's verifier and the data-integrity HMAC."""
import io

import msoffcrypto


def decrypt(data, password):
    office = msoffcrypto.OfficeFile(io.BytesIO(data))
    office.load_key(password=password, verify_password=True)
    out = io.BytesIO()
    office.decrypt(out, verify_integrity=True)
    return out.getvalue()
