# Independent reference for the generator tests: exact integer arithmetic
# (no Schrage split) and IEEE single rounding through struct. Run with python3.
import struct, math
M=2147483647
def f32(x): return struct.unpack('f',struct.pack('f',x))[0]
class G:
    def __init__(s,seed): s.seed=seed; s.tab=[0]*32; s.last=0; s.calls=-1; s.cache=0.0
def adv(s): return (16807*s)%M
def uni(g):
    if g.seed<=0 or g.last==0:
        st=-g.seed
        if st<1: st=1
        g.seed=st
        for j in range(39,-1,-1):
            g.seed=adv(g.seed)
            if j<32: g.tab[j]=g.seed
        g.last=g.tab[0]
    g.seed=adv(g.seed)
    j=g.last//67108864
    g.last=g.tab[j]; g.tab[j]=g.seed
    r=f32(g.last*2.0**-31)
    if r>1-1.2e-7: return f32(1-2**-23)
    return r
def shuffle(a,first,last,g):
    for i in range(first,last):
        k=last-i+1
        j=i+int(uni(g)*k)
        a[i],a[j]=a[j],a[i]
g=G(-1); print("u-1", [repr(uni(g)) for _ in range(5)])
g=G(-80063); print("u-80063", [repr(uni(g)) for _ in range(3)])
g=G(-1); a=list(range(0,11)); shuffle(a,1,10,g); print("shuf10", a[1:], repr(uni(g)))
g=G(-7); a=list(range(0,6)); shuffle(a,1,5,g); print("shuf5 seed -7", a[1:])
s=1
for i in range(10000): s=adv(s)
print("10000th", s)
def msr(st): st=adv(st); return st, st*4.656612875e-10
# normal from seed 12345 (positive)
st=12345
st,u1=msr(st); st,u2=msr(st)
rho=math.sqrt(-2*math.log(u1)); th=6.283185307179586*u2
print("normal", repr(rho*math.cos(th)), repr(rho*math.sin(th)), st)
