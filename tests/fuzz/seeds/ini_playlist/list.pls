[playlist]
NumberOfEntries=1
File1=http://127.0.0.1:44325/stream?title=From%20PLS
Title1=Tone
Length1=-1
Version=2
